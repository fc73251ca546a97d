// Cluster Analysis: the exact hierarchical clustering engine as a library.
//
//   #include <cluster_analysis/cluster_analysis.h>
//
// brings in the whole of it: the methods (methods.h), clustering
// dissimilarities or observations (linkage.h), what is made of a tree
// (tree.h), the desktop program's data files (data_file.h), the errors
// (error.h) and the version (version.h). Link with
// `pkg-config --cflags --libs cluster-analysis`, or in CMake
// find_package(ClusterAnalysis) and ClusterAnalysis::cluster-analysis.
#pragma once

#include "cluster_analysis/data_file.h"
#include "cluster_analysis/error.h"
#include "cluster_analysis/linkage.h"
#include "cluster_analysis/methods.h"
#include "cluster_analysis/tree.h"
#include "cluster_analysis/version.h"
