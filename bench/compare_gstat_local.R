# Local ordinary kriging of the exported data with gstat: the same points,
# grid and spherical model as Sorvan's local run, the nmax nearest data for
# every node; prints the time of gstat's kriging alone and how far its
# predictions are from Sorvan's.
#   Rscript compare_gstat_local.R DIR
args <- commandArgs(trailingOnly = TRUE)
dir <- if (length(args) > 0) args[1] else "."
suppressPackageStartupMessages({ library(sp); library(gstat) })

points <- read.csv(file.path(dir, "points.csv"))
sorvan <- read.csv(file.path(dir, "grid.csv"))
settings <- read.table(file.path(dir, "model.txt"), col.names = c("key", "value"))
value <- function(key) settings$value[settings$key == key]

coordinates(points) <- ~ x + y
nodes <- data.frame(x = sorvan$x, y = sorvan$y)
coordinates(nodes) <- ~ x + y
model <- vgm(psill = value("c1"), model = "Sph", range = value("a"), nugget = value("c0"))

times <- system.time(result <- krige(z ~ 1, points, nodes, model = model,
                                     nmax = value("neighbours"), debug.level = 0))
seconds <- times[["elapsed"]]

spread <- sd(sorvan$prediction)
difference <- max(abs(result$var1.pred - sorvan$prediction)) / spread
variance <- max(abs(result$var1.var - sorvan$variance)) / sd(sorvan$variance)
cat(sprintf("gstat_seconds %.3f\n", seconds))
cat(sprintf("gstat_processor_seconds %.3f\n", times[["user.self"]] + times[["sys.self"]]))
cat(sprintf("max_prediction_difference_over_sd %.3g\n", difference))
cat(sprintf("max_variance_difference_over_sd %.3g\n", variance))
