#!/bin/sh
# Runs a Windows test program while a CUPS scheduler of its own (a socket, spool and
# configuration under a temporary folder) offers a PDF printer (cups-pdf) as its default. The
# program learns the printer's name from CRASHREPORT_TEST_PRINTER and the folder the PDF files
# land in (the job owner's ~/PDF, where cups-pdf puts them) from CRASHREPORT_TEST_PDF_DIR; when
# no scheduler can run here it gets the reason in CRASHREPORT_TEST_PRINTER_MISSING instead.
#   with_pdf_printer.sh WINEARCH PROGRAM [ARGUMENTS]
set -u
arch=$1
shift
here=$(cd "$(dirname "$0")" && pwd)
runner="$here/../../../tools/wine-run"

missing=""
for tool in cupsd lpadmin pdftotext; do
    command -v "$tool" >/dev/null 2>&1 || missing="$missing $tool"
done
[ -x /usr/lib/cups/backend/cups-pdf ] || missing="$missing cups-pdf"
[ -n "$missing" ] && missing="not installed:$missing (tools/install-deps.sh adds them)"
if [ -z "$missing" ] && [ "$(id -u)" -ne 0 ]; then
    missing="cups-pdf writes only for a scheduler that runs as root, and this test runs as $(id -un)"
fi
if [ -n "$missing" ]; then
    CRASHREPORT_TEST_PRINTER_MISSING=$missing WINEARCH=$arch exec "$runner" "$@"
fi

state=$(mktemp -d /tmp/crashreport-cups.XXXXXX)
chmod 755 "$state"
mkdir -p "$state/root" "$state/spool" "$state/tmp" "$state/cache" "$state/state" "$state/log"
chmod 1777 "$state/tmp"
printf 'Listen %s/cups.sock\nLogLevel warn\nWebInterface No\nBrowsing No\n<Location />\n  Order allow,deny\n  Allow all\n</Location>\n' \
    "$state" >"$state/root/cupsd.conf"
printf 'ServerRoot %s/root\nRequestRoot %s/spool\nTempDir %s/tmp\nCacheDir %s/cache\nStateDir %s/state\nErrorLog %s/log/error_log\nAccessLog %s/log/access_log\nPageLog %s/log/page_log\nSystemGroup root\n' \
    "$state" "$state" "$state" "$state" "$state" "$state" "$state" "$state" >"$state/root/cups-files.conf"
cupsd -f -c "$state/root/cupsd.conf" -s "$state/root/cups-files.conf" >"$state/log/cupsd.out" 2>&1 &
scheduler=$!
export CUPS_SERVER="$state/cups.sock"
printer="CrashReportPdf$$"
ready=""
for _ in $(seq 1 50); do
    if lpadmin -p "$printer" -E -v cups-pdf:/ -P /usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd >/dev/null 2>&1 &&
        lpadmin -d "$printer" >/dev/null 2>&1; then
        ready=yes
        break
    fi
    sleep 0.1
done
if [ -n "$ready" ]; then
    home=$(getent passwd "$(id -un)" | cut -d: -f6)
    CRASHREPORT_TEST_PRINTER=$printer CRASHREPORT_TEST_PDF_DIR="$home/PDF" WINEARCH=$arch "$runner" "$@"
    result=$?
else
    CRASHREPORT_TEST_PRINTER_MISSING="the scheduler did not start: $(tail -3 "$state/log/error_log" "$state/log/cupsd.out" 2>/dev/null | tr '\n' ' ')" \
        WINEARCH=$arch "$runner" "$@"
    result=$?
fi
kill "$scheduler" 2>/dev/null
wait "$scheduler" 2>/dev/null
rm -rf "$state"
exit $result
