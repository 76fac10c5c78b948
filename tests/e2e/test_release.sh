#!/usr/bin/env bash
# scripts/release: the same bytes from two build folders, the Authenticode signatures, the zip,
# the version resource and the update folder; then under Wine the silent per-user install, the
# installed Glimor.exe's start, and the silent uninstall that ends it and keeps its Glimor.ini.
source "$(dirname "$0")/lib.sh"
# No Linux menu entries for the Start-menu shortcut.
export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;winemenubuilder.exe=d"
cli=$root/build/linux/src/cli/glimor-cli
[ -x "$cli" ] || fail "glimor-cli not built: $cli"
version=$(sed -n 's/.*programVersion = "\(.*\)";.*/\1/p' "$root/src/app/startup.h")
zip=Glimor-$version-portable.zip setup=Glimor-$version-setup.exe
# One date for every release here: a commit made while the test runs must not date them apart.
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git -C "$root" log -1 --format=%ct)}
release() { "$root/scripts/release" "$@" >"$work/release.log" 2>&1 || { cat "$work/release.log"; fail "release $*"; }; }

# Build folders of its own: the other tests may be running the program of build/windows meanwhile.
# Each of the two builds takes its objects from a compiler cache of its own, which only builds in
# its own kind of folder have filled: every object compared was compiled in a folder other than the
# other's, here or in an earlier run, and only what changed is compiled again. Were a folder's path
# in an object, the two would differ. (Without a compiler cache, both compile in full.)
log "two unsigned releases: two fresh build folders give the same bytes"
release --build "$work/build-a" --dist "$work/a" --compiler-cache
CCACHE_DIR=${CCACHE_DIR:-$root/build/ccache}-second-folder \
  release --build "$work/build-b" --dist "$work/b" --compiler-cache
for f in Glimor.exe "$zip" "$setup" SHA256SUMS; do
  cmp "$work/a/$f" "$work/b/$f" || fail "$f differs between the two build folders"
done
osslsigncode verify -in "$work/a/Glimor.exe" >/dev/null 2>&1 && fail "the unsigned Glimor.exe has a signature"

log "a signed release with its update folder"
make_test_ca
"$cli" update-key "$work/update.key" >/dev/null
GLIMOR_SIGN_PFX=$work/ca/codesign.pfx GLIMOR_SIGN_PASSWORD=test GLIMOR_UPDATE_SECRET=$work/update.key \
  GLIMOR_UPDATE_URL=https://images.example.org/ release --build "$work/build-a" --dist "$work/dist"
dist=$work/dist
for f in Glimor.exe "$setup"; do
  osslsigncode verify -CAfile "$work/ca/ca.pem" -in "$dist/$f" >"$work/verify.log" 2>&1 ||
    { cat "$work/verify.log"; fail "$f: no valid signature"; }
done
(cd "$dist" && sha256sum --quiet -c SHA256SUMS) || fail "SHA256SUMS"
[ "$(wc -l <"$dist/SHA256SUMS")" = 5 ] || fail "SHA256SUMS does not list five files"
[ "$(unzip -Z1 "$dist/$zip" | tr '\n' ' ')" = "Glimor/Glimor.exe Glimor/ReadMe.txt " ] || fail "zip: $(unzip -Z1 "$dist/$zip")"
unzip -p "$dist/$zip" Glimor/Glimor.exe | cmp - "$dist/Glimor.exe" || fail "the zip's Glimor.exe is not dist/Glimor.exe"
update=$dist/update/Glimor-$version.exe
cmp "$update" "$dist/Glimor.exe" || fail "the update is not dist/Glimor.exe"
mapfile -t lines < <(tr -d '\r' <"$dist/update/newglimor.txt")
[ "${lines[*]:0:4}" = "https://images.example.org/Glimor-$version.exe Glimor-$version.exe $version SHA256 $(sha256sum <"$update" | cut -c1-64)" ] ||
  fail "newglimor.txt: ${lines[*]}"
/usr/bin/python3 - "$dist/Glimor.exe" "$version" <<'PY' || fail "version resource or manifest"
import pefile, sys
pe, version = pefile.PE(sys.argv[1]), sys.argv[2]
strings = {k.decode(): v.decode() for info in pe.FileInfo[0] if info.Key == b"StringFileInfo"
           for table in info.StringTable for k, v in table.entries.items()}
want = {"ProductName": "Glimor", "OriginalFilename": "Glimor.exe", "FileVersion": version, "ProductVersion": version}
fixed, digits = pe.VS_FIXEDFILEINFO[0], [int(d) for d in version.replace(".", "")]  # 1.01: 1.0.1.0
assert {k: strings.get(k) for k in want} == want and strings.get("LegalCopyright"), strings
assert (fixed.FileVersionMS, fixed.FileVersionLS) == (digits[0] << 16 | digits[1], digits[2] << 16)
assert any(e.id == pefile.RESOURCE_TYPE["RT_MANIFEST"] for e in pe.DIRECTORY_ENTRY_RESOURCE.entries)
PY

if [ "$GLIMOR_WINDOWS_PRESET" != windows ]; then
  # The installer and the program it installs are 32-bit.
  log "this machine runs no 32-bit code: the install and uninstall under Wine are not tried here"
  log "passed"
  exit 0
fi
start_x
fresh_prefix
user=$(ls "$WINEPREFIX/drive_c/users" | grep -vx Public | head -n 1)
home=$WINEPREFIX/drive_c/users/$user
installed=$home/AppData/Local/Programs/Glimor
app_dir=$installed # for ini_value
installed_w="C:\\users\\$user\\AppData\\Local\\Programs\\Glimor"
shortcut="$home/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Glimor.lnk"
uninstall_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Glimor'
run_value() { wine reg query "$1\\Software\\Microsoft\\Windows\\CurrentVersion\\Run" /v Glimor 2>/dev/null | tr -d "\r" | grep REG_SZ; }

log "silent install into the user's programs folder"
timeout 60 wine "$dist/$setup" /S || fail "the installer failed"
cmp "$installed/Glimor.exe" "$dist/Glimor.exe" || fail "Glimor.exe not installed in $installed"
[ -f "$installed/ReadMe.txt" ] || fail "no ReadMe.txt"
osslsigncode verify -CAfile "$work/ca/ca.pem" -in "$installed/Uninstall.exe" >/dev/null 2>&1 ||
  fail "the uninstaller is not signed"
grep -aq 'Glimor.exe' "$shortcut" || fail "no Start-menu shortcut to Glimor.exe"
entry=$(wine reg query "$uninstall_key" 2>/dev/null | tr -d '\r')
for pattern in "DisplayName +REG_SZ +Glimor$" "DisplayVersion +REG_SZ +$version$" "Publisher +REG_SZ +Glimor$" \
  "DisplayIcon +REG_SZ +.*Glimor.exe" "EstimatedSize +REG_DWORD +0x[1-9a-f]" \
  "UninstallString +REG_SZ +\"C:.*\\\\Uninstall.exe\"$" "QuietUninstallString +REG_SZ +\".*Uninstall.exe\" /S$"; do
  grep -Eq "^ +$pattern" <<<"$entry" || fail "uninstall entry lacks /$pattern/: $entry"
done

log "the installed Glimor.exe starts"
program="$installed_w\\Glimor.exe" start_glimor
wait_for 30 test -f "$installed/Glimor.ini" || fail "Glimor.ini was not written beside the installed Glimor.exe"
wait_for 10 main_visible || fail "no main window on the first start"
click_tray_icon # it hides the window
wait_for 10 not main_visible || fail "no tray icon"
grep -qF "REG_SZ    \"$installed_w\\Glimor.exe\"" <<<"$(run_value HKLM)" || fail "Run value: $(run_value HKLM)"

log "silent uninstall ends the running Glimor and keeps Glimor.ini"
wine explorer /desktop=glimor,1024x768 "$installed_w\\Uninstall.exe" /S >/dev/null 2>&1 &
wait_for 30 not test -e "$installed/Uninstall.exe" || fail "the uninstaller did not finish"
[ ! -e "$installed/Glimor.exe" ] || fail "Glimor.exe is still there"
not has_window '|GlimorApplication|' || fail "Glimor is still running"
[ "$(ini_value Installed)" = 1 ] || fail "Glimor.ini was not kept"
[ ! -e "$shortcut" ] || fail "the shortcut is still there"
wine reg query "$uninstall_key" >/dev/null 2>&1 && fail "the uninstall entry is still there"
[ -z "$(run_value HKLM)" ] || fail "the Run value is still there"

log "an install over a running Glimor ends it first"
timeout 60 wine "$dist/$setup" /S || fail "the second install failed"
program="$installed_w\\Glimor.exe" start_glimor
wait_for 30 has_window '|GlimorApplication|' || fail "the reinstalled Glimor did not start"
wine reg delete "$uninstall_key" /f >/dev/null 2>&1 # written anew, its size last, by a complete install
cp "$dist/$setup" "$WINEPREFIX/drive_c/setup.exe"
wine explorer /desktop=glimor,1024x768 'C:\setup.exe' /S >/dev/null 2>&1 &
wait_for 30 wine reg query "$uninstall_key" /v EstimatedSize || fail "the install over a running Glimor failed"
not has_window '|GlimorApplication|' || fail "Glimor is still running after the install"

log "uninstall with /PURGE: the folder goes"
timeout 60 wine "$installed_w\\Uninstall.exe" /S /PURGE || fail "the purging uninstaller failed"
wait_for 30 not test -e "$installed" || fail "left after /PURGE: $(ls "$installed")"
log "passed"
