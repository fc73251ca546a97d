#!/usr/bin/env bash
# R CMD build and R CMD check of the R package, against a library not
# installed (its headers and its folder given): passes when the check ends
# with no ERROR and no WARNING. NOTEs are printed.
#
#   r_package_check.sh R PACKAGE_SOURCE LIBRARY_INCLUDE LIBRARY_DIR
set -uo pipefail
R=$1
source=$2
include=$3
libdir=$4
work=$(mktemp -d /tmp/r-check-XXXXXX)
trap 'rm -rf "$work"' EXIT
cp -r "$source" "$work/clusteranalysis"
cd "$work" || exit 1
export CLUSTER_ANALYSIS_CFLAGS="-std=c++20 -I$include"
export CLUSTER_ANALYSIS_LIBS="-L$libdir -lcluster-analysis -Wl,-rpath,$libdir"
# Nothing here reaches the network: the check of file times against a clock
# on the internet is left out.
export _R_CHECK_FUTURE_FILE_TIMESTAMPS_=false
export _R_CHECK_SYSTEM_CLOCK_=0
"$R" CMD build --no-build-vignettes clusteranalysis > build.log 2>&1 || { cat build.log; exit 1; }
tarball=$(ls clusteranalysis_*.tar.gz)
"$R" CMD check --no-manual "$tarball" > check.log 2>&1
status=$?
cat check.log
if [ $status -ne 0 ] || grep -q -E '^Status: .*(ERROR|WARNING)' check.log; then
  for log in clusteranalysis.Rcheck/00install.out clusteranalysis.Rcheck/tests/*.Rout.fail; do
    [ -f "$log" ] && cat "$log"
  done
  exit 1
fi
exit 0
