#!/usr/bin/env bash
# The virus scanning's Windows test against a web server on this machine: a small HTTP server
# on 127.0.0.1 (a free port) serves the scanners' update list, a web page in its place and the
# newer plug-in; it also answers as a proxy, serving a file by its name whatever host is asked
# for. The program learns the server's address from KESTREL_VSCAN_URL; the server is ended by
# its pid afterwards.
# Usage: wine_vscanners.sh PATH/TO/virusscan_wine_test.exe PATH/TO/v2/VScanners.dll
set -euo pipefail
exe=$1
newer=$2
root=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
server_pid=

cleanup() {
  set +e
  if [ -n "$server_pid" ]; then
    kill "$server_pid" 2>/dev/null
    wait "$server_pid" 2>/dev/null
  fi
  rm -rf "$work"
}
trap cleanup EXIT

site=$work/site
mkdir "$site"
cp "$newer" "$site/VScanners.dll"
printf 'Kestrel test scanners\r\n\r\n  VScanners.dll 2.0 2024-06-01  \r\n' >"$site/list.txt"
printf '<html>\n<body>VScanners.dll 2.0 is here</body>\n</html>\n' >"$site/page.html"

python3 - "$site" "$work/port" <<'SERVER' &
import http.server, os, sys, urllib.parse

site, port_file = sys.argv[1], sys.argv[2]

class Handler(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        # A path, or a whole URL when asked as a proxy: the file is named by its last part.
        name = os.path.basename(urllib.parse.urlsplit(self.path).path)
        path = os.path.join(site, name)
        if not name or not os.path.isfile(path):
            self.send_error(404)
            return
        with open(path, "rb") as f:
            data = f.read()
        self.send_response(200)
        self.send_header("Content-Type",
                         "text/html" if name.endswith(".html") else "application/octet-stream")
        self.send_header("Content-Length", str(len(data)))
        self.end_headers()
        self.wfile.write(data)

    def log_message(self, *args):
        pass

server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
with open(port_file + ".tmp", "w") as f:
    f.write(str(server.server_address[1]))
os.rename(port_file + ".tmp", port_file)
server.serve_forever()
SERVER
server_pid=$!

for _ in $(seq 100); do [ -f "$work/port" ] && break; sleep 0.1; done
[ -f "$work/port" ] || { echo "the web server did not start"; exit 1; }

KESTREL_VSCAN_URL="http://127.0.0.1:$(cat "$work/port")/" "$root/scripts/wine-run" "$exe"
