#!/usr/bin/env bash
# Regenerates the sample project in data/ from its UTF-8 sources in
# data-sources/utf8/: refits the gas species and the slag models, rederives
# the element constants, interaction parameters and slag table, then writes
# every file in code page 1251 with CR LF line ends, as the program reads them.
#   scripts/make_sample_data.sh            refit, rederive and convert
#   scripts/make_sample_data.sh --convert  only convert the UTF-8 sources
set -euo pipefail
cd "$(dirname "$0")/.."

if [[ "${1:-}" != "--convert" ]]; then
  python3 scripts/fit_gas_species.py >/dev/null
  python3 scripts/fit_slag_models.py >/dev/null
  python3 scripts/derive_sample_data.py >/dev/null
fi

mkdir -p data
for src in data-sources/utf8/*; do
  name="$(basename "$src")"
  # CR LF on every line; iconv fails on any character outside code page 1251
  sed -e 's/\r$//' -e 's/$/\r/' "$src" | iconv -f UTF-8 -t CP1251 > "data/$name.tmp"
  mv "data/$name.tmp" "data/$name"
done
echo "data/: $(ls data-sources/utf8 | tr '\n' ' ')"
