#!/usr/bin/env bash
# The README's R session, run again: its commands (the lines after "> ")
# through R, echoed as R echoes them, must print the session as the README
# shows it.
#
#   readme_r_example.sh RSCRIPT README R_LIBRARY
set -uo pipefail
rscript=$1
readme=$2
export R_LIBS=$3
work=$(mktemp -d /tmp/readme-r-XXXXXX)
trap 'rm -rf "$work"' EXIT
awk '/^## R$/{on=1} on&&/^```r$/{code=1;next} code&&/^```/{exit} code' "$readme" > "$work/session.txt"
sed -n 's/^> //p' "$work/session.txt" > "$work/commands.R"
[ -s "$work/commands.R" ] || { echo "no R session in the README"; exit 1; }
cd "$work" || exit 1
"$rscript" -e 'source("commands.R", echo = TRUE, prompt.echo = "> ", spaced = FALSE)' > printed.txt 2>&1
rm -f Rplots.pdf
diff printed.txt session.txt
