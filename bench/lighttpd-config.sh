# shellcheck shell=bash
# Sourced by the benchmarks that run lighttpd beside the server: one
# configuration for all of them, so that they measure the same lighttpd.
#
# write_lighttpd_conf <folder> <site> <port>
# Writes <folder>/lighttpd.conf: <site> served on 127.0.0.1:<port>, its logs
# in <folder>, the access log on and keep-alive connections that never run
# out of requests.
write_lighttpd_conf() {
  local folder=$1 site=$2 port=$3
  cat > "$folder/lighttpd.conf" << CONF
server.modules = ("mod_accesslog")
server.document-root = "$site"
server.bind = "127.0.0.1"
server.port = $port
server.errorlog = "$folder/error.log"
accesslog.filename = "$folder/access.log"
server.max-keep-alive-requests = 1000000
server.max-keep-alive-idle = 30
server.max-fds = 8192
server.max-connections = 4000
CONF
}
