#!/bin/sh
# Installs build-windows/Orvik-Brevane-<version>-win64.msi silently into a fresh Wine prefix,
# as an IT department deploys it, and checks what Windows Installer made of it: the files,
# the Start-menu shortcut, the *.BRV association and the "Apps & features" entry. Starts
# the program from the shortcut, then a SITE.BRV through the association, then the
# right-click "Site record (PDF)" command on it. Uninstalls
# silently as "Apps & features" does and checks that only the user's
# C:\Orvik Tessaly Net\Brevane is left. Then upgrades an older installer (these files under
# a lower version) in place, refuses to go back to it and replaces a rebuild of the same
# version. Run tools/windows/build.sh first.
# Given the certificate the build signed with (BREVANE_SIGN_PFX and BREVANE_SIGN_PASSWORD_FILE,
# as for build.sh), checks that the installer and the installed programs carry its verifying
# signatures, and signs the older installer and the rebuild with it too.
#   OLD_VERSION  the older installer's version (default 0.9.0)
set -eu
# The certificate's files named relative to where this was started, not to the checkout.
case ${BREVANE_SIGN_PFX:-/} in /*) ;; *) export BREVANE_SIGN_PFX="$PWD/$BREVANE_SIGN_PFX" ;; esac
case ${BREVANE_SIGN_PASSWORD_FILE:-/} in
/*) ;;
*) export BREVANE_SIGN_PASSWORD_FILE="$PWD/$BREVANE_SIGN_PASSWORD_FILE" ;;
esac
cd "$(dirname "$0")/../.."
tools/deps.sh wine wine64 xdotool wixl msitools ${BREVANE_SIGN_PFX:+osslsigncode python3-pefile}
msi=$(ls build-windows/Orvik-Brevane-*-win64.msi 2>/dev/null | head -n 1)
[ -n "$msi" ] || { echo "no installer in build-windows/: run tools/windows/build.sh first" >&2; exit 2; }
name=$(basename "$msi" .msi)
version=${name#Orvik-Brevane-}
version=${version%-win64}
stage=build-windows/zip/$name
old_version=${OLD_VERSION:-0.9.0}
. tools/windows/wine-env.sh
# Wine would copy the prefix's shortcuts and file types into this machine's own menus.
export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;winemenubuilder.exe=d"

out=build-windows/install-test
rm -rf "$out"
mkdir -p "$out"
out=$(cd "$out" && pwd)
wine_xvfb
trap 'wine_stop; kill $xvfb 2>/dev/null || true' EXIT
# dash's say reads backslashes, which Windows paths are full of.
say() { printf '%s\n' "$*"; }
fail() {
    say "FAIL: $*" >&2
    exit 1
}
ms() { echo $(($(date +%s%N) / 1000000)); }
# The Windows name of a Unix file, through Wine's drive Z:.
windows_path() { say "Z:$(cd "$(dirname "$1")" && pwd)/$(basename "$1")" | tr / '\\'; }
# A value's data (VALUE empty: the key's default), nothing when the value or key is missing.
reg_value() {
    if [ -n "$2" ]; then set -- "$1" /v "$2"; else set -- "$1" /ve; fi
    $wine64 reg query "$@" 2>/dev/null | tr -d '\r' |
        awk -F '    ' '$3 ~ /^REG_/ { print $4; exit }'
}
has_key() { $wine64 reg query "$1" >/dev/null 2>&1; }
uninstall='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
# The "Apps & features" entries named Orvik Brevane, one key a line.
entries() {
    $wine64 reg query "$uninstall" /s 2>/dev/null | tr -d '\r' |
        awk -F '    ' '/^HKEY_/ { key = $0 } $2 == "DisplayName" && $4 == "Orvik Brevane" { print key }'
}
# Runs msiexec silently with its verbose log in LOG and Wine's own output in LOG.wine. When
# Windows Installer never came to a verdict (Wine itself failed to start it), says what Wine
# printed and tries once more; the installer's own "no" is the answer as it stands.
msiexec() {
    log=$1
    shift
    for attempt in 1 2; do
        rm -f "$out/$log"
        $wine64 msiexec "$@" /qn /l*v "$(windows_path "$out/$log")" >"$out/$log.wine" 2>&1 && return 0
        status=$?
        grep -qs 'Action ended .*: INSTALL\. Return value' "$out/$log" && return $status
        say "msiexec $1 (attempt $attempt): status $status and no verdict in $log; Wine printed:" >&2
        tail -n 5 "$out/$log.wine" >&2
        wine_stop
    done
    return $status
}
# Fails on msiexec's STATUS with what its LOG says went wrong.
msi_fail() {
    say "$3: status $2; from $out/$1:" >&2
    grep -E 'Return value 3|Note: 1: |rror' "$out/$1" 2>/dev/null | tail -n 8 >&2
    fail "$3"
}

# Every file of the zip, and nothing else, is in Program Files\Orvik Brevane as in FOLDER.
check_files() {
    [ -d "$app" ] || fail "no C:\\Program Files\\Orvik Brevane"
    (cd "$1" && find . -type f | sort) >"$out/expected.txt"
    (cd "$app" && find . -type f | sort) >"$out/installed.txt"
    diff -u "$out/expected.txt" "$out/installed.txt" >&2 || fail "the installed files differ from $1's"
    while read -r file; do
        cmp -s "$1/$file" "$app/$file" || fail "installed $file differs from $1's"
    done <"$out/expected.txt"
}
# The one shortcut "Orvik Brevane.lnk" in a Start menu.
shortcut() { (cd "$WINEPREFIX/drive_c" && find . -name 'Orvik Brevane.lnk' | sed 's|^\./||'); }
window=
wait_window() {
    window=$(wine_window 'Orvik Brevane Rev 01')
    [ -n "$window" ]
}
# The width in pixels of the text of the window's bottom line (the file-name label), in a
# screenshot kept as FILE.png.
label_width() {
    sleep 3 # let it paint
    geometry=$(xwininfo -id "$window" | awk '/Absolute upper-left X/{x=$4} /Absolute upper-left Y/{y=$4}
        /Width/{w=$2} /Height/{h=$2} END{printf "%dx%d+%d+%d", w, h, x, y}')
    import -window root -crop "$geometry" +repage "$out/$1.png"
    height=$(identify -format %h "$out/$1.png")
    # The label's 25 pixels, left of the line between the halves.
    convert "$out/$1.png" -crop "560x25+0+$((height - 25))" +repage -fuzz 30% -trim -format %w info:
}
# Arguments of this prefix's brevane.exe, one a line.
brevane_arguments() {
    for pid in $(pgrep -f 'brevane\.exe'); do
        tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX" || continue
        tr '\0' '\n' <"/proc/$pid/cmdline" | sed '1d;/^$/d'
    done
}

say "== signatures"
signed=
if [ -n "${BREVANE_SIGN_PFX:-}" ]; then
    signed=yes
    mkdir "$out/certificate"
    tools/windows/sign.sh --check "$out/certificate" >/dev/null
    signatures() {
        tools/windows/check-signatures.py --signer "$out/certificate/signer.pem" \
            --ca "$out/certificate/certs.pem" "$@" || fail "signatures that do not hold"
    }
    signatures "$msi"
else
    say "none checked: no certificate given (BREVANE_SIGN_PFX)"
fi

say "== a fresh Wine prefix; $name.msi installed silently"
wine_prefix "$out/prefix"
app="$WINEPREFIX/drive_c/Program Files/Orvik Brevane"
data="$WINEPREFIX/drive_c/Orvik Tessaly Net/Brevane"
wineserver -p >/dev/null 2>&1
$wine64 cmd /c exit >/dev/null 2>&1
start=$(ms)
msiexec install.log /i "$(windows_path "$msi")" || msi_fail install.log $? "msiexec /i"
install_ms=$(($(ms) - start))
say "installed in $install_ms ms"
grep -q 'Property(S): ALLUSERS = 1' "$out/install.log" || fail "not installed for all users (ALLUSERS)"

say "== files"
check_files "$stage"
say "C:\\Program Files\\Orvik Brevane: the zip's $(wc -l <"$out/expected.txt") files, byte for byte"
[ -z "$signed" ] || signatures "$app/brevane.exe" "$app/brevane-cli.exe"

say "== Start-menu shortcut"
lnk=$(shortcut)
lnk_path="C:\\$(say "$lnk" | tr / '\\')"
case "$lnk" in
"ProgramData/Microsoft/Windows/Start Menu/Programs/Orvik Brevane.lnk")
    say "in the all users' Start menu: $lnk_path" ;;
users/*/AppData/Roaming/Microsoft/Windows/Start\ Menu/Programs/Orvik\ Brevane.lnk)
    # Wine's msiexec takes ProgramMenuFolder from the user whatever ALLUSERS says;
    # Windows Installer takes the all users' one.
    say "in the user's Start menu (where Wine puts ProgramMenuFolder): $lnk_path" ;;
*) fail "not one Start-menu shortcut \"Orvik Brevane\": ${lnk:-none}" ;;
esac
menu=$(sed -n 's/^Property(S): ProgramMenuFolder = //p' "$out/install.log" | tail -n 1)
[ "$menu" = "${lnk_path%\\*}\\" ] || fail "the shortcut is not in ProgramMenuFolder ($menu)"

say "== association"
progid=OrvikBrevane.Configuration
exe='C:\Program Files\Orvik Brevane\brevane.exe'
for extension in .BRV .brv; do
    [ "$(reg_value "HKCR\\$extension" '')" = $progid ] || fail "HKCR\\$extension is not $progid"
done
[ "$(reg_value "HKLM\\Software\\Classes\\.BRV" '')" = $progid ] || fail ".BRV is not the machine's"
[ "$(reg_value "HKCR\\$progid\\shell\\open\\command" '')" = "\"$exe\" \"%1\"" ] ||
    fail "open command: $(reg_value "HKCR\\$progid\\shell\\open\\command" '')"
[ "$(reg_value "HKCR\\$progid\\DefaultIcon" '')" = "$exe,0" ] ||
    fail "DefaultIcon: $(reg_value "HKCR\\$progid\\DefaultIcon" '')"
say ".BRV and .brv: $progid, open \"$exe\" \"%1\", icon $exe,0"

say "== Apps & features"
entry=$(entries)
[ "$(say "$entry" | grep -c .)" = 1 ] || fail "not one \"Orvik Brevane\" entry: ${entry:-none}"
[ "$(reg_value "$entry" DisplayVersion)" = "$version" ] || fail "DisplayVersion: $(reg_value "$entry" DisplayVersion)"
[ "$(reg_value "$entry" Publisher)" = Orvik ] || fail "Publisher: $(reg_value "$entry" Publisher)"
product=${entry##*\\}
[ "$(reg_value "$entry" UninstallString)" = "MsiExec.exe /X$product" ] ||
    fail "UninstallString: $(reg_value "$entry" UninstallString)"
# The product's icon in the list, which Windows Installer keeps with the product.
icon=$($wine64 reg query 'HKLM\Software\Classes\Installer\Products' /s 2>/dev/null | tr -d '\r' |
    awk -F '    ' '/^HKEY_/ { key = $0 } $2 == "ProductIcon" { icon[key] = $4 }
        $2 == "ProductName" && $4 == "Orvik Brevane" { name[key] = 1 }
        END { for (key in name) print icon[key] }')
icon_file="$WINEPREFIX/drive_c/$(say "${icon#C:\\}" | tr '\\' /)"
cmp -s "$icon_file" packaging/windows/brevane.ico || fail "product icon \"$icon\" is not brevane.ico"
say "\"Orvik Brevane\" $version by Orvik, $product, icon $icon"

say "== brevane.exe from the Start-menu shortcut"
$wine64 start "$lnk_path" >/dev/null 2>&1
wait_window || fail "no window titled \"Orvik Brevane Rev 01\""
[ -z "$(brevane_arguments)" ] || fail "started with arguments: $(brevane_arguments)"
none_width=$(label_width shortcut)
[ -d "$data" ] || fail "no C:\\Orvik Tessaly Net\\Brevane"
say "window up, file name \"None\" ($none_width px); C:\\Orvik Tessaly Net\\Brevane made"
xdotool windowclose "$window" 2>/dev/null || true
wine_stop

say "== SITE.BRV opened through the association"
site='C:\Orvik Tessaly Net\Brevane\SITE.BRV'
# 64 slots, each with its outgoing and incoming link on, so that the rows show it too.
i=0
while [ $i -lt 64 ]; do
    printf '\001\000\000\000\001\000\000\000\000'
    i=$((i + 1))
done >"$data/SITE.BRV"
$wine64 start "$site" >/dev/null 2>&1
wait_window || fail "no window titled \"Orvik Brevane Rev 01\" for SITE.BRV"
[ "$(brevane_arguments)" = "$site" ] || fail "brevane.exe started with \"$(brevane_arguments)\", not \"$site\""
site_width=$(label_width association)
# OCR-free: the label's text against " None", in the ratio the two texts have in the window's
# font (Carlito stands in for Calibri), within 15 %.
text_width() { convert -font Carlito -pointsize 16 label:"$1" -fuzz 30% -trim -format %w info:; }
expected=$(($(text_width " $site") * 1000 / $(text_width ' None')))
measured=$((site_width * 1000 / none_width))
[ $((measured * 100)) -ge $((expected * 85)) ] && [ $((measured * 100)) -le $((expected * 115)) ] ||
    fail "the file-name label is $site_width px wide, ${measured}/1000 of \"None\"; \" $site\" would be ${expected}/1000"
say "brevane.exe \"$site\"; its file-name label $site_width px wide (${measured}/1000 of \"None\", the path ${expected}/1000)"
xdotool windowclose "$window" 2>/dev/null || true
wine_stop

# ---- Site record: the .BRV files' right-click "Site record (PDF)" ------------------------
say "== right-click \"Site record (PDF)\" on SITE.BRV"
tools/deps.sh poppler-utils
verb="HKCR\\$progid\\shell\\siterecord"
[ "$(reg_value "$verb" '')" = "Site record (PDF)" ] || fail "no \"Site record (PDF)\" verb: $(reg_value "$verb" '')"
command=$(reg_value "$verb\\command" '')
[ "$command" = "\"$exe\" \"%1\" --report" ] || fail "the site record's command: $command"
# A double-click still opens the window: the shell's default verb, when named, is open.
default_verb=$(reg_value "HKCR\\$progid\\shell" '')
case "$default_verb" in '' | '(value not set)' | open) ;; *) fail "the default verb is $default_verb" ;; esac
say "$command; the shell's default verb: ${default_verb:-none} (open, by its name)"
# The command it names, as Explorer runs it, first with a PDF viewer set up (one that notes
# what it is given): the record is written beside SITE.BRV and handed to it.
classes='HKLM\Software\Classes'
viewed=$WINEPREFIX/drive_c/viewed.txt
$wine64 reg add "$classes\\.pdf" /ve /t REG_SZ /d pdffile /f >/dev/null 2>&1
$wine64 reg add "$classes\\pdffile\\shell\\open\\command" /ve /t REG_SZ \
    /d 'C:\windows\system32\cmd.exe /c echo %1> C:\viewed.txt' /f >/dev/null 2>&1
$wine64 "$exe" "$site" --report >/dev/null 2>&1 || fail "brevane.exe --report: status $?"
for _ in $(seq 60); do
    [ -s "$viewed" ] && break
    sleep 0.5
done
pdf_path=$(tr -d '\r"' <"$viewed" 2>/dev/null | sed 's/ *$//')
[ "$pdf_path" = "${site%.BRV}.pdf" ] || fail "the PDF viewer was given \"$pdf_path\""
text=$(pdftotext -layout "$data/SITE.pdf" - | sed 's/  */ /g')
say "$text" | grep -qx ' *Controller checksum 1F10 DCF7' && say "$text" | grep -q 'Page 2 of 2' ||
    fail "SITE.pdf is not the record of SITE.BRV: $(say "$text" | head -n 12)"
say "the PDF viewer was given $pdf_path (controller checksum 1F10 DCF7, 2 pages)"
# Then with none: the record is written, a box says where, and no main window opens.
$wine64 reg delete "$classes\\.pdf" /f >/dev/null 2>&1
rm "$data/SITE.pdf"
$wine64 "$exe" "$site" --report >/dev/null 2>&1 &
box=$(wine_window 'Site record')
[ -n "$box" ] || fail "no \"Site record\" box from brevane.exe --report without a PDF viewer"
! xdotool search --name '^Orvik Brevane Rev 01$' >/dev/null 2>&1 || fail "--report showed the main window"
[ "$(brevane_arguments | tr '\n' ' ')" = "$site --report " ] || fail "brevane.exe started with \"$(brevane_arguments)\""
[ -s "$data/SITE.pdf" ] || fail "no SITE.pdf without a PDF viewer"
import -window "$box" "$out/site-record-box.png"
xdotool windowfocus "$box" 2>/dev/null || true
sleep 0.3
xdotool key Return
wine_stop
say "without a PDF viewer: SITE.pdf written and a \"Site record\" box ($out/site-record-box.png); no window"
# ---- end of the site record ---------------------------------------------------------------

# Nothing of the product is left, and the user's folder and files are.
check_removed() {
    [ ! -e "$app" ] || fail "C:\\Program Files\\Orvik Brevane is left: $(cd "$app" && find . | head -n 5)"
    [ -z "$(shortcut)" ] || fail "the shortcut is left: $(shortcut)"
    for key in 'HKCR\.BRV' "HKCR\\$progid" 'HKLM\Software\Classes\.BRV'; do
        ! has_key "$key" || fail "$key is left"
    done
    [ -z "$(entries)" ] || fail "the \"Apps & features\" entry is left: $(entries)"
    [ ! -e "$icon_file" ] || fail "the product icon is left"
    [ -f "$data/SITE.BRV" ] || fail "the user's SITE.BRV is gone"
}

say "== silent uninstall, as \"Apps & features\" does it ($(reg_value "$entry" UninstallString))"
start=$(ms)
msiexec uninstall.log /x "$product" || msi_fail uninstall.log $? "msiexec /x"
uninstall_ms=$(($(ms) - start))
check_removed
say "uninstalled in $uninstall_ms ms: no files, shortcut, association or entry; C:\\Orvik Tessaly Net\\Brevane\\SITE.BRV kept"

say "== upgrade from $old_version"
printf '%s\n%s\n' "$old_version" "$version" | sort -V -C && [ "$old_version" != "$version" ] ||
    fail "OLD_VERSION $old_version is not below $version"
# These files under the lower version, with a file of its own that the upgrade must remove.
old_stage=$out/Orvik-Brevane-$old_version-win64
cp -r "$stage" "$old_stage"
sed -i "1s/.*/Orvik Brevane $old_version for 64-bit Windows\r/" "$old_stage/README.txt"
say "only in $old_version" >"$old_stage/notes-$old_version.txt"
old_msi=$out/Orvik-Brevane-$old_version-win64.msi
VERSION=$old_version tools/windows/make-msi.sh "$old_stage" "$old_msi"
# A signed release follows a signed one.
[ -z "$signed" ] || tools/windows/sign.sh "$old_msi"
msiexec old.log /i "$(windows_path "$old_msi")" || msi_fail old.log $? "installing $old_version"
[ "$(reg_value "$(entries)" DisplayVersion)" = "$old_version" ] || fail "$old_version is not installed"
check_files "$old_stage"
start=$(ms)
msiexec upgrade.log /i "$(windows_path "$msi")" || msi_fail upgrade.log $? "upgrading to $version"
upgrade_ms=$(($(ms) - start))
entry=$(entries)
[ "$(say "$entry" | grep -c .)" = 1 ] || fail "not one entry after the upgrade: $entry"
[ "$(reg_value "$entry" DisplayVersion)" = "$version" ] || fail "after the upgrade: $(reg_value "$entry" DisplayVersion)"
check_files "$stage"
[ "$(shortcut | grep -c .)" = 1 ] || fail "not one shortcut after the upgrade: $(shortcut)"
[ "$(reg_value 'HKCR\.BRV' '')" = $progid ] || fail "no association after the upgrade"
say "$old_version upgraded to $version in $upgrade_ms ms: one entry ($version), its files, notes-$old_version.txt gone"

say "== no way back to $old_version, and a rebuild of $version replaces it"
if msiexec downgrade.log /i "$(windows_path "$old_msi")"; then fail "$old_version installed over $version"; fi
[ "$(entries)" = "$entry" ] && [ "$(reg_value "$entry" DisplayVersion)" = "$version" ] ||
    fail "installing $old_version over $version changed the entries: $(entries)"
check_files "$stage"
tools/windows/make-msi.sh "$stage" "$out/rebuilt.msi"
[ -z "$signed" ] || tools/windows/sign.sh "$out/rebuilt.msi"
msiexec rebuilt.log /i "$(windows_path "$out/rebuilt.msi")" || msi_fail rebuilt.log $? "installing the rebuild"
rebuilt=$(entries)
[ "$(say "$rebuilt" | grep -c .)" = 1 ] && [ "$rebuilt" != "$entry" ] ||
    fail "a rebuild of $version beside or instead of no entry: $rebuilt"
say "$old_version refused over $version; the rebuild replaced ${entry##*\\} by ${rebuilt##*\\}"
msiexec last-uninstall.log /x "${rebuilt##*\\}" || msi_fail last-uninstall.log $? "msiexec /x of the rebuild"
icon_file=$WINEPREFIX/drive_c/windows/Installer/${rebuilt##*\\}/brevane.ico
check_removed

say "install test passed${signed:+ with signed installers}: install $install_ms ms, uninstall $uninstall_ms ms, upgrade $upgrade_ms ms under Wine"
