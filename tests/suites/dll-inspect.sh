#!/usr/bin/env bash
# Inspects the two Windows DLLs as binaries, with the MinGW objdump of each target:
#   machine type, exactly the two undecorated exports VSTPluginMain and main, imports from Windows
#   system DLLs only (no C++ runtime, threads or image-library DLLs), the six PNG resources 100-105
#   (language 1033, real PNG data of the artwork's sizes), relocatable (DYNAMIC_BASE and a .reloc
#   section), and on x86 the C calling convention of the entry points and the effect record's entries
#   (callers pop the arguments). One check per line; the last line reads "N passed, N failed".
# The DLLs are dist/Torvo-Mell_x64.dll and dist/Torvo-Mell_x86.dll, or when missing the build trees'
# build/win64|win32/vst/Torvo-Mell.dll; TORVO_DLL_X64 and TORVO_DLL_X86 override.
set -uo pipefail
cd "$(dirname "$0")/../.."
root=$(pwd)
passed=0
failed=0

check() {  # check <ok 0/1> <text>
  if [ "$1" = 0 ]; then
    echo "ok    $2"; passed=$((passed + 1))
  else
    echo "FAIL  $2"; failed=$((failed + 1))
  fi
}

pick() {  # pick <override> <dist name> <tree>
  if [ -n "$1" ]; then echo "$1"; return; fi
  if [ -f "dist/$2" ]; then echo "$root/dist/$2"; return; fi
  echo "$root/build/$3/vst/Torvo-Mell.dll"
}

# System DLLs a plug-in may import (compared in lower case).
allowed=" kernel32.dll user32.dll gdi32.dll comdlg32.dll shell32.dll wininet.dll msvcrt.dll advapi32.dll
  ole32.dll oleaut32.dll comctl32.dll shlwapi.dll ws2_32.dll winmm.dll version.dll uxtheme.dll ntdll.dll "

# Resource id, then the image's width and height.
resources="100 40 80
101 65 4225
102 213 326
103 181 150
104 18 36
105 40 80"

inspect() {  # inspect <label> <dll> <objdump> <expected format> <expected magic>
  local label=$1 dll=$2 objdump=$3 format=$4 magic=$5
  if [ ! -f "$dll" ]; then
    check 1 "$label: $dll exists"
    return
  fi
  check 0 "$label: $dll exists"
  if ! command -v "$objdump" >/dev/null; then
    check 1 "$label: $objdump is installed"
    return
  fi
  local dump headers
  dump=$("$objdump" -p "$dll" 2>/dev/null)
  local image_base_early
  image_base_early=$(sed -nE 's/^ImageBase[[:space:]]+([0-9a-f]+)$/\1/p' <<<"$dump")
  headers=$("$objdump" -h "$dll" 2>/dev/null)

  grep -q "file format $format\$" <<<"$dump"
  check $? "$label: machine type $format"
  grep -qE "^Magic[[:space:]]+[0-9a-f]+[[:space:]]+\(${magic/+/\\+}\)" <<<"$dump"
  check $? "$label: optional header $magic"
  sed -n '/^Characteristics/,/^$/p' <<<"$dump" | grep -qx $'\tDLL'
  check $? "$label: is a DLL"

  # Exports: the names of the [Ordinal/Name Pointer] table.
  local exports
  exports=$(sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$dump" | sed -nE 's/^\s*\[ *[0-9]+\] (.*)$/\1/p' | sort | tr '\n' ' ')
  [ "$exports" = "VSTPluginMain main " ]
  check $? "$label: exports exactly VSTPluginMain and main, undecorated (found: ${exports% })"

  # Imports.
  local imports dll_name bad=""
  imports=$(sed -nE 's/^\s*DLL Name: (.*)$/\1/p' <<<"$dump")
  [ -n "$imports" ]
  check $? "$label: has an import table"
  for dll_name in $imports; do
    local lower=${dll_name,,}
    if [[ "$allowed" == *" $lower "* ]]; then
      check 0 "$label: imports $dll_name (Windows system DLL)"
    else
      check 1 "$label: imports $dll_name, which is not a Windows system DLL"
      bad=1
    fi
  done
  ! grep -qiE 'DLL Name: .*(libstdc|libgcc|winpthread|libpng|zlib|libz|libjpeg)' <<<"$dump"
  check $? "$label: no C++ runtime, libgcc, winpthread, libpng, zlib or libjpeg DLL among the imports"

  # Relocatability.
  sed -n '/^DllCharacteristics/,/^$/p' <<<"$dump" | grep -q 'DYNAMIC_BASE'
  check $? "$label: DYNAMIC_BASE set"
  local reloc_size
  reloc_size=$(sed -nE 's/^Entry 5 [0-9a-f]+ ([0-9a-f]+) Base Relocation Directory.*/\1/p' <<<"$dump")
  grep -qE '^\s*[0-9]+ \.reloc ' <<<"$headers" && [ -n "$reloc_size" ] && [ $((16#$reloc_size)) -gt 0 ]
  check $? "$label: .reloc section with base relocations (size 0x${reloc_size:-0})"

  # 32-bit calling convention: the two entry points (found through the export table) and, when the
  # DLL carries symbols, the six entries of the effect record return with a plain "ret", as the C
  # convention wants; a "ret $n" would mean the callee pops its arguments (stdcall).
  if [ "$label" = x86 ]; then
    local disasm n name rva start body
    while read -r n name; do
      rva=$(sed -nE "s/^\s*\[ *$n\] \+base\[ *[0-9]+\] ([0-9a-f]+) Export RVA/\1/p" <<<"$dump")
      if [ -z "$rva" ]; then check 1 "$label: export $name has an address"; continue; fi
      start=$(printf '0x%x' $((16#$image_base_early + 16#$rva)))
      body=$("$objdump" -d --start-address="$start" --stop-address=$(printf '0x%x' $((start + 4096))) "$dll" 2>/dev/null |
        grep -E '^\s*[0-9a-f]+:' | grep -m1 -E '\sret')
      grep -qE '\sret\s*$' <<<"$body"
      check $? "$label: export $name returns with a plain ret (C calling convention): ${body##*$'\t'}"
    done < <(sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$dump" | sed -nE 's/^\s*\[ *([0-9]+)\] (.*)$/\1 \2/p')
    disasm=$("$objdump" -d "$dll" 2>/dev/null)
    local entry
    for entry in VSTDispatcher VSTProcess VSTProcessReplacing VSTProcessDoubleReplacing VSTSetParameter VSTGetParameter; do
      body=$(awk -v pat="IPlugVST${#entry}${entry}E" 'index($0, pat) && /^[0-9a-f]+ <[^>]*>:$/ && !/\.cold>:$/ {f=1; next} f && /^$/ {exit} f' <<<"$disasm")
      if [ -z "$body" ]; then
        echo "note  $label: no symbol for IPlugVST::$entry (stripped DLL); its calling convention is not checked"
        continue
      fi
      ! grep -qE '\sret\s+\$0x' <<<"$body" && grep -qE '\sret\s*$' <<<"$body"
      check $? "$label: IPlugVST::$entry returns with a plain ret (C calling convention)"
    done
  fi

  # Resources: walk the resource directory listing. Type entries sit 3 spaces in, name entries 5,
  # language entries 7, leaves 8.
  local listing image_base rsrc_vma rsrc_off
  listing=$(sed -n '/^The .rsrc Resource Directory section:/,/^ String table/p' <<<"$dump")
  image_base=$(sed -nE 's/^ImageBase[[:space:]]+([0-9a-f]+)$/\1/p' <<<"$dump")
  read -r rsrc_vma rsrc_off < <(awk '$2 == ".rsrc" { print $4, $6 }' <<<"$headers")
  local table
  # Lines "id lang leafaddr size" (hexadecimal) for every resource of type PNG; then in decimal.
  table=$(awk '
    /^[0-9a-f]+ +Entry: / {
      line = $0; sub(/^[0-9a-f]+/, "", line); match(line, /^ +/); depth = RLENGTH
      if (depth == 3) { png = (line ~ /: PNG, Value:/) ; next }
      if (!png) next
      if (depth == 5) { match(line, /ID: 0x[0-9a-f]+/); id = substr(line, RSTART + 6, RLENGTH - 6) }
      if (depth == 7) { match(line, /ID: 0x[0-9a-f]+/); lang = substr(line, RSTART + 6, RLENGTH - 6) }
      next
    }
    /^[0-9a-f]+ +Leaf: / && png {
      match($0, /Addr: 0x[0-9a-f]+/); addr = substr($0, RSTART + 8, RLENGTH - 8)
      match($0, /Size: 0x[0-9a-f]+/); size = substr($0, RSTART + 8, RLENGTH - 8)
      print id, lang, addr, size
    }' <<<"$listing" | while read -r a b c d; do echo "$((16#$a)) $((16#$b)) $c $((16#$d))"; done)
  local count
  count=$(grep -c . <<<"$table")
  [ "$count" -eq 6 ]
  check $? "$label: six resources of type PNG (found $count)"
  local id w h
  while read -r id w h; do
    local row lang addr size
    row=$(awk -v id="$id" '$1 == id' <<<"$table")
    if [ -z "$row" ]; then
      check 1 "$label: PNG resource $id present"
      continue
    fi
    read -r _ lang addr size <<<"$row"
    check $([ "$lang" = 1033 ]; echo $?) "$label: PNG resource $id, language $lang (1033 expected)"
    # The leaf address is relative to the image base; the section's VMA is absolute.
    local offset bytes sig iw ih
    offset=$(( 16#$addr + 16#$image_base - 16#$rsrc_vma + 16#$rsrc_off ))
    bytes=$(od -An -tx1 -v -j "$offset" -N 24 "$dll" | tr -d ' \n')
    sig=${bytes:0:16}
    iw=$((16#${bytes:32:8}))
    ih=$((16#${bytes:40:8}))
    [ "$sig" = "89504e470d0a1a0a" ] && [ "${bytes:24:8}" = "49484452" ] && [ "$iw" = "$w" ] && [ "$ih" = "$h" ]
    check $? "$label: PNG resource $id holds a PNG of ${w} x ${h} (found ${iw} x ${ih}, $size bytes)"
  done <<<"$resources"
}

inspect x64 "$(pick "${TORVO_DLL_X64:-}" Torvo-Mell_x64.dll win64)" x86_64-w64-mingw32-objdump pei-x86-64 PE32+
inspect x86 "$(pick "${TORVO_DLL_X86:-}" Torvo-Mell_x86.dll win32)" i686-w64-mingw32-objdump pei-i386 'PE32'

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
