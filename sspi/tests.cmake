# Tests of libsspi; filled in below as the modules gain them.
