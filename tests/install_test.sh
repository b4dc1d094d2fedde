#!/usr/bin/env bash
# Installs the build into a temporary folder and uses the installed Fidmora
# as a user would: the files lie where a desktop looks for them, the
# programs find their translations in the installed layout, and the window
# keeps its exit autosave in the user's data folder and reads it back at the
# next start, also for a user who cannot write the program's folder.
#
# install_test.sh BUILD_DIR VERSION
set -euo pipefail

build=$1
version=$2
app_id=org.fidmora.fidmora
sizes=(16 22 24 32 48 64 128 256)

work=$(mktemp -d)
pids=()
cleanup() {
    local pid
    for pid in "${pids[@]}"; do kill -KILL "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*" >&2
    exit 1
}
# Another user must be able to reach the installed programs.
chmod 755 "$work"

dest=$work/dest
DESTDIR=$dest cmake --install "$build" --prefix /usr >/dev/null
usr=$dest/usr
translations=$usr/share/fidmora/translations

echo "The files"
expected=(bin/fidmora bin/fidmora-cli
          share/fidmora/translations/fidmora_en.qm share/fidmora/translations/fidmora_ru.qm
          share/applications/fidmora.desktop share/metainfo/$app_id.metainfo.xml
          share/mime/packages/fidmora.xml share/man/man1/fidmora.1.gz share/man/man1/fidmora-cli.1.gz
          share/fidmora/examples/shop.fdm share/fidmora/examples/feed.csv share/fidmora/examples/base.csv)
for size in "${sizes[@]}"; do
    expected+=("share/icons/hicolor/${size}x${size}/apps/fidmora.png")
done
for file in "${expected[@]}"; do
    [ -s "$usr/$file" ] || fail "not installed: $file"
done
[ -x "$usr/bin/fidmora" ] && [ -x "$usr/bin/fidmora-cli" ] || fail "the programs are not executable"
for size in "${sizes[@]}"; do
    file "$usr/share/icons/hicolor/${size}x${size}/apps/fidmora.png" | grep -q "PNG image data, $size x $size," \
        || fail "the ${size}x${size} icon is not a ${size}x${size} PNG"
done

echo "The desktop's view of them"
desktop-file-validate "$usr/share/applications/fidmora.desktop" || fail "desktop-file-validate"
appstreamcli validate --no-net "$usr/share/metainfo/$app_id.metainfo.xml" >/dev/null \
    || { appstreamcli validate --no-net "$usr/share/metainfo/$app_id.metainfo.xml"; fail "appstreamcli validate"; }
grep -q "<release version=\"$version\"" "$usr/share/metainfo/$app_id.metainfo.xml" || fail "metainfo without release $version"
# A project opened from a file manager reaches the window as its argument.
grep -qx 'Exec=fidmora %f' "$usr/share/applications/fidmora.desktop" || fail "Exec does not pass the file"
grep -qx 'MimeType=application/x-fidmora-project;' "$usr/share/applications/fidmora.desktop" || fail "MimeType"
mkdir -p "$work/mime/packages"
cp "$usr/share/mime/packages/fidmora.xml" "$work/mime/packages/"
update-mime-database "$work/mime" >"$work/mime.log" 2>&1 || fail "update-mime-database: $(cat "$work/mime.log")"
grep -qx 'application/x-fidmora-project:\*\.fdm' "$work/mime/globs" || fail "*.fdm is not a Fidmora project"

# Runs an installed program with a clean environment of its own.
home=$work/home
mkdir -p "$home"
run() {
    local language=$1
    shift
    env -i PATH=/usr/bin:/bin HOME="$home" LC_ALL=C.UTF-8 LANGUAGE="$language" \
        QT_LOGGING_RULES=fidmora.translations.info=true "$@"
}

echo "fidmora-cli"
[ "$(run "" "$usr/bin/fidmora-cli" --version 2>/dev/null)" = "fidmora-cli $version" ] || fail "fidmora-cli --version"
# The man page describes every step and option that --help lists.
help=$(run "" "$usr/bin/fidmora-cli" --help 2>/dev/null)
man_page=$(zcat "$usr/share/man/man1/fidmora-cli.1.gz")
for option in $(grep -o -- '--[a-z][a-z-]*' <<<"$help" | sort -u); do
    grep -qF -- "${option//-/\\-}" <<<"$man_page" || fail "fidmora-cli(1) does not describe $option"
done
cli_language() {
    local language=$1 qm=$2 message=$3 log
    log=$(cd "$work" && run "$language" "$usr/bin/fidmora-cli" --add missing.csv 2>&1) && fail "a missing file loaded"
    grep -qF "Translation $translations/$qm" <<<"$log" || fail "fidmora-cli did not read $translations/$qm: $log"
    grep -qF "$message" <<<"$log" || fail "fidmora-cli did not say \"$message\": $log"
}
cli_language en fidmora_en.qm "File missing.csv not found"
cli_language "" fidmora_ru.qm "Файл missing.csv не найден"

cat >"$work/shop.fdm" <<'EOF'
<?xml version="1.0" encoding="UTF-8"?>
<settings>
<offers>
<offer url="" prefix="" name="Installed Shop"><export autoload="false" format=""><![CDATA[]]></export><other action="include"/></offer>
</offers>
</settings>
EOF
chmod 644 "$work/shop.fdm"

# Starts the installed window offscreen as the given user (empty: this one)
# in a home of its own, waits until it has read its translation, asks it to
# end as a session does, and checks that it closed the normal way.
window() {
    local user=$1 user_home=$2 language=$3 qm=$4
    shift 4
    local log=$user_home/window.log pidfile=$user_home/window.pid
    local -a as=()
    [ -n "$user" ] && as=(runuser -u "$user" --)
    rm -f "$pidfile"
    "${as[@]}" env -i PATH=/usr/bin:/bin HOME="$user_home" LC_ALL=C.UTF-8 LANGUAGE="$language" \
        QT_QPA_PLATFORM=offscreen QT_LOGGING_RULES=fidmora.translations.info=true \
        sh -c 'echo $$ > "$0"; exec "$@"' "$pidfile" "$usr/bin/fidmora" "$@" >"$log" 2>&1 &
    local runner=$!
    pids+=("$runner")
    local waited=0
    until [ -s "$pidfile" ] && grep -q "Translation $translations/$qm" "$log"; do
        kill -0 "$runner" 2>/dev/null || fail "the window ended at start: $(cat "$log")"
        [ "$waited" -lt 1200 ] || fail "the window did not read $translations/$qm: $(cat "$log")"
        sleep 0.1
        waited=$((waited + 1))
    done
    kill -TERM "$(cat "$pidfile")"
    local status=0
    wait "$runner" || status=$?
    [ "$status" = 0 ] || fail "the window ended with status $status: $(cat "$log")"
}

autosave_of() {
    echo "$1/.local/share/fidmora/last.fdm"
}

echo "The window, in English"
window "" "$home" en fidmora_en.qm "$work/shop.fdm"
grep -q 'name="Installed Shop"' "$(autosave_of "$home")" || fail "no autosave in the user's data folder"
[ ! -e "$usr/bin/last.fdm" ] || fail "the installed window wrote into its bin folder"

echo "The window, as a user who cannot write the program's folder"
if [ "$(id -u)" = 0 ]; then
    user=nobody
    user_home=$work/home-nobody
    mkdir -p "$user_home"
    chown "$user" "$user_home"
    runuser -u "$user" -- test -w "$usr/bin" && fail "$user may write $usr/bin"
else
    user=""
    user_home=$work/home-user
    mkdir -p "$user_home"
    chmod a-w "$usr/bin"
fi
window "$user" "$user_home" "" fidmora_ru.qm "$work/shop.fdm"
autosave=$(autosave_of "$user_home")
grep -q 'name="Installed Shop"' "$autosave" || fail "no autosave in $autosave"
[ ! -e "$usr/bin/last.fdm" ] || fail "the window wrote into its bin folder"
# The next start without a project reads the autosave (its offer is kept)
# and writes it again on exit.
touch -d '2001-01-01' "$autosave"
window "$user" "$user_home" "" fidmora_ru.qm
[ "$autosave" -nt "$work/shop.fdm" ] || fail "the second start did not write the autosave again"
grep -q 'name="Installed Shop"' "$autosave" || fail "the second start did not read the autosave back"
chmod -R u+w "$usr/bin"

echo "PASS"
