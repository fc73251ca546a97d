#!/usr/bin/env bash
# Installs a build tree into a temporary prefix and checks what a user gets:
# the programs, which run without the source or build tree; the desktop entry
# and its icon; the manual pages, which render without warnings and list
# every option of the batch tool; the guides, the licence and the examples.
#
#   install_tree_test.sh CMAKE BUILD_DIR PROJECT_VERSION SOURCE_DIR CXX [FLAGS]
#
# CXX and FLAGS compile the programs that use the installed library (the
# sanitizer tree's library needs the sanitizers' flags).
set -uo pipefail

cmake=$1
build=$(cd "$2" && pwd)
version=$3
source=$(cd "$4" && pwd)
cxx=$5
flags=${6:-}
id=org.clusteranalysis.ClusterAnalysis

prefix=$(mktemp -d /tmp/cluster-install-XXXXXX)
work=$(mktemp -d /tmp/cluster-install-work-XXXXXX)
trap 'rm -rf "$prefix" "$work"' EXIT

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
need_file() {
  [ -f "$prefix/$1" ] && [ -s "$prefix/$1" ] || fail "missing or empty: $1"
}

if ! "$cmake" --install "$build" --prefix "$prefix" > "$work/install.log" 2>&1; then
  cat "$work/install.log"
  echo "FAIL: cmake --install"
  exit 1
fi

# --- the programs -----------------------------------------------------------
for program in cluster-analysis cluster-analysis-batch; do
  [ -x "$prefix/bin/$program" ] || fail "bin/$program is not an installed program"
  # Nothing may point back into the build or the source tree.
  if readelf -d "$prefix/bin/$program" | grep -E '\((RPATH|RUNPATH)\)'; then
    fail "bin/$program keeps a library search path"
  fi
done

# Run from an empty folder, on the installed examples.
cd "$work" || exit 1
batch=$prefix/bin/cluster-analysis-batch
examples=$prefix/share/cluster-analysis/examples
[ "$("$batch" --version)" = "cluster-analysis-batch $version" ] ||
  fail "--version printed '$("$batch" --version)'"
"$batch" --method ward --merges native.tsv "$examples/japanese-cities.txt" || fail "batch run on the native example"
"$batch" --method ward --merges csv.tsv --plot tree.png "$examples/japanese-cities.csv" || fail "batch run on the CSV example"
[ "$(wc -l < native.tsv)" -eq 9 ] || fail "ten cities should merge nine times: $(wc -l < native.tsv) lines"
cmp -s native.tsv csv.tsv || fail "the native and the CSV example give different merges"
[ "$(head -c 8 tree.png | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ] || fail "--plot tree.png wrote no PNG"

# The desktop program starts and keeps running until it is stopped.
QT_QPA_PLATFORM=offscreen timeout 2 "$prefix/bin/cluster-analysis" > desktop.log 2>&1
status=$?
[ $status -eq 124 ] || { cat desktop.log; fail "cluster-analysis ended with status $status within 2 seconds"; }

# --- the desktop entry and the icon -------------------------------------------
desktop=$prefix/share/applications/$id.desktop
need_file "share/applications/$id.desktop"
if ! desktop-file-validate "$desktop" > validate.log 2>&1 || grep -q -E 'error:|warning:' validate.log; then
  cat validate.log
  fail "desktop-file-validate"
fi
for line in "Type=Application" "Name=Cluster Analysis" "Name[ja]=クラスター分析" "Exec=cluster-analysis" \
            "Icon=$id" "Terminal=false"; do
  grep -q -x -F "$line" "$desktop" || fail "the desktop entry lacks the line $line"
done
grep -q '^Comment\[ja\]=..' "$desktop" || fail "the desktop entry has no Japanese comment"
categories=$(sed -n 's/^Categories=//p' "$desktop")
for category in Science Math Education; do
  [[ ";$categories" == *";$category;"* ]] || fail "the desktop entry is not in the category $category"
done
exec_program=$(sed -n 's/^Exec=//p' "$desktop")
[ -x "$prefix/bin/$exec_program" ] || fail "Exec=$exec_program is not an installed program"

need_file "share/icons/hicolor/scalable/apps/$id.svg"
for size in 16 24 32 48 64 128 256; do
  png=$prefix/share/icons/hicolor/${size}x${size}/apps/$id.png
  need_file "share/icons/hicolor/${size}x${size}/apps/$id.png"
  # Width and height, big-endian at bytes 16 to 23.
  read -r w0 w1 w2 w3 h0 h1 h2 h3 < <(od -An -tu1 -j16 -N8 "$png")
  width=$(( (w0 << 24) | (w1 << 16) | (w2 << 8) | w3 ))
  height=$(( (h0 << 24) | (h1 << 16) | (h2 << 8) | h3 ))
  [ "$width" -eq "$size" ] && [ "$height" -eq "$size" ] || fail "$size-pixel icon is ${width}x$height"
done

# --- the manual pages ---------------------------------------------------------
for page in cluster-analysis cluster-analysis-batch; do
  gz=share/man/man1/$page.1.gz
  need_file "$gz"
  gzip -dc "$prefix/$gz" > "$page.1" || { fail "$gz does not decompress"; continue; }
  groff -man -Tutf8 -ww -z "$page.1" 2> groff.log
  if [ -s groff.log ]; then
    cat groff.log
    fail "$page.1 renders with warnings"
  fi
  head -n 1 < <(sed -n '/^\.SH NAME/{n;p}' "$page.1") | grep -q "^$page \\\\- " || fail "$page.1 names another program"
done
# Every option of the batch tool's usage has an entry in OPTIONS.
options_section=$(sed -n '/^\.SH OPTIONS/,/^\.SH [^O]/p' cluster-analysis-batch.1 | sed 's/\\-/-/g')
options=$("$batch" --help | grep -o -E '^  --[a-z-]+')
[ -n "$options" ] || fail "no options in the batch tool's usage"
for option in $options; do
  grep -q -E "^\.(B|BR|BI) $option( |\$)" <<< "$options_section" ||
    fail "the batch manual page has no entry for $option"
done

# --- the library ---------------------------------------------------------------
libdir=$(dirname "$(find "$prefix" -name 'libcluster-analysis.so.1' -print -quit)")
[ -n "$libdir" ] && [ "$libdir" != . ] || fail "no libcluster-analysis.so.1 installed"
[ "$(readelf -d "$libdir/libcluster-analysis.so.1" | sed -n 's/.*(SONAME).*\[\(.*\)\]/\1/p')" = libcluster-analysis.so.1 ] ||
  fail "the library's SONAME is not libcluster-analysis.so.1"
if nm -D --defined-only "$libdir/libcluster-analysis.so.1" | c++filt | grep -q ' cluster::'; then
  fail "the library exports the engine's internals"
fi
# Every installed header compiles on its own.
for header in "$prefix"/include/cluster_analysis/*.h; do
  name=${header#"$prefix/include/"}
  printf '#include <%s>\n' "$name" > header.cpp
  "$cxx" -std=c++20 -Wall -Wextra -Werror -fsyntax-only -I"$prefix/include" header.cpp 2> header.log ||
    { cat header.log; fail "$name does not compile on its own"; }
done
# The guide's example, compiled with pkg-config against the installed tree,
# prints what the guide says it prints.
awk '/^## Using the library/{on=1} on&&/^```cpp/{code=1;next} code&&/^```/{exit} code' "$source/README.md" > average.cpp
awk '/^## Using the library/{on=1} on&&/^```text/{out=1;next} out&&/^```/{exit} out' "$source/README.md" > expected.txt
[ -s average.cpp ] && [ -s expected.txt ] || fail "the guide has no library example and its output"
pcdir=$(dirname "$(find "$prefix" -name cluster-analysis.pc -print -quit)")
# shellcheck disable=SC2086
if "$cxx" $flags average.cpp $(PKG_CONFIG_PATH=$pcdir pkg-config --cflags --libs cluster-analysis) \
     -o average 2> compile.log; then
  LD_LIBRARY_PATH=$libdir ./average > printed.txt || fail "the guide's example failed"
  cmp -s printed.txt expected.txt || { diff printed.txt expected.txt; fail "the guide's example printed otherwise"; }
else
  cat compile.log
  fail "the guide's example does not compile with pkg-config"
fi
# The CMake package.
mkdir -p package/build
cat > package/CMakeLists.txt <<'CMAKE'
cmake_minimum_required(VERSION 3.25)
project(UsesClusterAnalysis CXX)
find_package(ClusterAnalysis 1 REQUIRED)
add_executable(average average.cpp)
target_link_libraries(average PRIVATE ClusterAnalysis::cluster-analysis)
CMAKE
cp average.cpp package/
if "$cmake" -S package -B package/build -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_CXX_COMPILER="$cxx" \
     -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="$flags" > package.log 2>&1 &&
   "$cmake" --build package/build >> package.log 2>&1; then
  LD_LIBRARY_PATH=$libdir package/build/average | cmp -s - expected.txt || fail "the CMake package's build printed otherwise"
else
  cat package.log
  fail "find_package(ClusterAnalysis)"
fi

# --- the Python module ----------------------------------------------------------
if [ -d "$prefix/lib/python3/dist-packages/cluster_analysis" ]; then
  printed=$(cd / && PYTHONPATH=$prefix/lib/python3/dist-packages /usr/bin/python3 -c \
    'import cluster_analysis as c; print(c.__version__, c.linkage([2.5, 4, 1.25], "average")[:, 2].tolist())' 2>&1)
  [ "$printed" = "$version [1.25, 3.25]" ] || fail "the installed Python module printed: $printed"
fi

# --- the R package ------------------------------------------------------------
if [ -d "$prefix/lib/R/site-library/clusteranalysis" ]; then
  printed=$(cd / && R_LIBS=$prefix/lib/R/site-library Rscript -e \
    'd <- as.dist(matrix(c(0, 2.5, 4, 2.5, 0, 1.25, 4, 1.25, 0), 3)); cat(clusteranalysis::hclust(d, "average")$height)' 2>&1)
  [ "$printed" = "1.25 3.25" ] || fail "the installed R package printed: $printed"
fi

# --- the guides, the licence and the examples --------------------------------
for doc in README.md README.ja.md LICENSE docs/screenshot.png; do
  need_file "share/doc/cluster-analysis/$doc"
done
grep -q "MIT License" "$prefix/share/doc/cluster-analysis/LICENSE" || fail "LICENSE is not the MIT licence"
for example in japanese-cities.txt japanese-cities.csv; do
  need_file "share/cluster-analysis/examples/$example"
done

if [ $failures -ne 0 ]; then
  echo "$failures failures"
  exit 1
fi
echo "installed tree under $prefix: all checks passed"
