library(testthat)
library(kavo)

test_check("kavo")
