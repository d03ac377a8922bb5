#!/bin/sh
# The shared library exports the ten KOVA_ functions and nothing else.
set -eu
lib=$1
expected="KOVA_AddObject KOVA_Close KOVA_CodeToString KOVA_FindObject KOVA_GetObjectById KOVA_GetObjectName KOVA_ModifyObject KOVA_Open KOVA_ReadObjects KOVA_WriteObject"
actual=$(nm -D --defined-only "$lib" | awk '{print $NF}' | sort | tr '\n' ' ' | sed 's/ $//')
if [ "$actual" != "$expected" ]; then
    echo "exports differ"
    echo "expected: $expected"
    echo "actual:   $actual"
    exit 1
fi
echo "exports: the ten KOVA_ functions"
