#!/bin/sh
# Checks the dynamic symbol table of libpenrune: every defined symbol is a
# public C function, and the host API is there.
set -eu
library=$1
symbols=$(nm -D --defined-only "$library" | awk '{print $3}')

public='^(HWKernel_|HRReco_|HRHan_|HROnline_|HRNormalize_|HRFeature_|PYLex_|PYCand_|HR_|enc_)'
public="$public|^(HWLex_GetDataPtr|HWLex_GetDataSize|HRData_GetDataPtr|HRData_GetDataSize)$"
public="$public|^(HTTrain_Process|HTDisc_Process|HTTree_Process|HTEval_Reco|HTStore_SaveToCpp|PYLex_CreateSysLex)$"

stray=$(printf '%s\n' "$symbols" | grep -v -E "$public" || true)
if [ -n "$stray" ]; then
  echo "internal symbols exported:"
  printf '%s\n' "$stray"
  exit 1
fi
for required in HWKernel_Initialize HWKernel_AddStroke HRReco_RecognizeShort PYLex_CreateSysLex HTTrain_Process; do
  printf '%s\n' "$symbols" | grep -qx "$required" || { echo "missing export: $required"; exit 1; }
done
echo "exported symbols: $(printf '%s\n' "$symbols" | wc -l), all public"
