# Leave-one-out cross-validation of an independent package (R's gstat,
# krige.cv with a global neighbourhood) on the points of
# cross_validation_bench, spherical model fixed, for comparison by hand:
#   Rscript bench/compare_cv_gstat.R [n]
# Needs r-cran-gstat (not part of the build or the tests).
suppressMessages({library(sp); library(gstat)})
args <- commandArgs(trailingOnly = TRUE)
n <- if (length(args) > 0) as.integer(args[1]) else 1000
i <- seq_len(n)
x <- 5000 * ((0.6180339887 * i) %% 1)
y <- 4000 * ((0.7548776662 * i + 0.3) %% 1)
z <- sin(x / 700) + cos(y / 900) + 0.1 * sin(17 * (i - 1))
d <- data.frame(x = x, y = y, z = z)
coordinates(d) <- ~x + y
m <- vgm(psill = 1.0, model = "Sph", range = 1500, nugget = 0.05)
t <- system.time(cv <- krige.cv(z ~ 1, d, model = m, nfold = n, verbose = FALSE))[["elapsed"]]
cat(sprintf("gstat krige.cv, n = %d, ordinary kriging, leave-one-out: %.2f s (RMSE %.5f)\n", n, t,
            sqrt(mean(cv$residual^2))))
