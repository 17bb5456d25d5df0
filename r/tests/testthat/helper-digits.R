# The programs print the evidence and the half-width with %e: compare those
# digits, so a result equal to the programs' is equal digit for digit.
e_digits <- function(x) sprintf("%e", x)
