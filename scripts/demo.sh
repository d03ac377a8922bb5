#!/bin/sh
# The main job on a fresh device: imports every sample into a new device root, lists
# the store, and exports its contacts and calendar items back into files. Needs the
# build of scripts/setup.sh. The device root is the argument, else a new temp folder.
set -eu
cd "$(dirname "$0")/.."
kova="$PWD/build/kova"
root=${1:-$(mktemp -d "${TMPDIR:-/tmp}/kova-demo-XXXXXX")}
exported="$root/exported"
mkdir -p "$exported"

echo "== kova import samples/*   (device root $root)"
"$kova" --device-root "$root" import samples/*
echo
echo "== kova list"
"$kova" --device-root "$root" list
echo
echo "== kova export"
"$kova" --device-root "$root" export --type contact -o "$exported/contacts.vcf"
"$kova" --device-root "$root" export --type calendar -o "$exported/calendar.vcs"
echo
echo "The store is $root/pim.db (notes in $root/Documents);"
echo "the exported files are in $exported."
