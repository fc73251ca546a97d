# The Debian package, made from the install rules by `cpack -G DEB` in the
# build folder: cluster-analysis_<version>_<architecture>.deb, installing
# under /usr.
#
# Its dependencies: the shared libraries the two programs link, worked out
# by dpkg-shlibdeps, and what the programs load at run time, which it cannot
# see. Those are
# - the fonts the printer's font substitutions name (platform/printing.cpp);
# - Qt's platform plugins: xcb for the desktop program and offscreen for the
#   batch tool's pictures. On Debian 12 both are in libqt6gui6, which the
#   programs link, and the CUPS print support plugin is in
#   libqt6printsupport6, which the desktop program links; so the library
#   dependencies bring them.
set(CLUSTER_PACKAGE_MAINTAINER "The Cluster Analysis developers <maintainers@cluster-analysis.invalid>"
    CACHE STRING "The Maintainer field of the Debian package")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME cluster-analysis)
set(CPACK_PACKAGE_VENDOR "The Cluster Analysis developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
# The summary heads every package's description (CPack prepends it).
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "exact hierarchical cluster analysis, with a printed dendrogram")
set(CPACK_PACKAGE_DESCRIPTION
    "Cluster Analysis groups up to 1000 objects, given a label each and the\n"
    "dissimilarity of every pair, by Ward's method or the centroid method. It\n"
    "writes an echo of the data to an output text file and prints the merge\n"
    "tree as a dendrogram. The interface is Japanese, and data files are in\n"
    "code page 932 (Shift-JIS).\n"
    "\n"
    "The command-line tool cluster-analysis-batch runs the same analysis\n"
    "without a display for up to 10,000 objects and draws the dendrogram as\n"
    "PDF, SVG or PNG.\n"
    "\n"
    "The library libcluster-analysis gives other programs the same exact\n"
    "engine, with its headers, a pkg-config file and a CMake package.")
# The pieces are joined as they are: a semicolon in them would split the list.
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_PACKAGE_CONTACT ${CLUSTER_PACKAGE_MAINTAINER})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${CLUSTER_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The shared library: its shlibs file and the ldconfig trigger.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-ipafont-gothic, fonts-ipafont-mincho, fonts-dejavu-core")
# A PDF printer takes the listing that goes straight to the default printer.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "printer-driver-cups-pdf")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

# One package per component: cluster-analysis (the programs, the library and
# everything else), and beside it the bindings, which need their language.
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL Unspecified)
set(CPACK_DEBIAN_UNSPECIFIED_PACKAGE_NAME cluster-analysis)
if(TARGET python_engine)
  list(APPEND CPACK_COMPONENTS_ALL python)
  set(CPACK_DEBIAN_PYTHON_PACKAGE_NAME python3-cluster-analysis)
  set(CPACK_DEBIAN_PYTHON_PACKAGE_SECTION python)
  set(CPACK_DEBIAN_PYTHON_DESCRIPTION
      "This is the Python module, a drop-in beside scipy.cluster.hierarchy.\n"
      "The module cluster_analysis clusters dissimilarities or observations with\n"
      "the engine of Cluster Analysis, in 80-bit arithmetic with a documented tie\n"
      "rule, and returns SciPy's linkage matrix.")
  string(JOIN "" CPACK_DEBIAN_PYTHON_DESCRIPTION ${CPACK_DEBIAN_PYTHON_DESCRIPTION})
  # The extension links the library of the main package, which
  # dpkg-shlibdeps cannot see from here: its dependencies are named.
  set(CPACK_DEBIAN_PYTHON_PACKAGE_SHLIBDEPS OFF)
  set(CPACK_DEBIAN_PYTHON_PACKAGE_DEPENDS
      "cluster-analysis (= ${PROJECT_VERSION}), python3 (>= 3.11), python3 (<< 3.12), python3-numpy, libc6 (>= 2.34), libstdc++6 (>= 12), libgcc-s1 (>= 3.0)")
endif()
if(TARGET r_package)
  list(APPEND CPACK_COMPONENTS_ALL r)
  set(CPACK_DEBIAN_R_PACKAGE_NAME r-cran-clusteranalysis)
  set(CPACK_DEBIAN_R_PACKAGE_SECTION gnu-r)
  set(CPACK_DEBIAN_R_DESCRIPTION
      "This is the R package, a drop-in for stats::hclust.\n"
      "The package clusteranalysis gives hclust() and hclust.vector() of the\n"
      "engine of Cluster Analysis, in 80-bit arithmetic with a documented tie\n"
      "rule, returning objects of class hclust.")
  string(JOIN "" CPACK_DEBIAN_R_DESCRIPTION ${CPACK_DEBIAN_R_DESCRIPTION})
  set(CPACK_DEBIAN_R_PACKAGE_SHLIBDEPS OFF)
  set(CPACK_DEBIAN_R_PACKAGE_DEPENDS
      "cluster-analysis (= ${PROJECT_VERSION}), r-base-core (>= 4.2), r-api-4.0, libc6 (>= 2.34), libstdc++6 (>= 12), libgcc-s1 (>= 3.0)")
endif()

include(CPack)
