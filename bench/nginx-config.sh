# Sourced by the benchmarks that run nginx beside the server: one
# configuration for all of them, so that they measure the same nginx.
#
# write_nginx_conf <folder> <top-level lines> <lines inside http {}>
# Writes <folder>/nginx.conf: in the foreground, a worker per processor, its
# pid, logs and temporary files in <folder>, the access log on and
# keep-alive connections that never run out of requests.
write_nginx_conf() {
  local folder=$1 top=$2 http=$3
  cat > "$folder/nginx.conf" << CONF
daemon off;
master_process on;
worker_processes auto;
$top
pid $folder/nginx.pid;
error_log $folder/error.log;
events { worker_connections 4096; }
http {
  access_log $folder/access.log;
  keepalive_requests 1000000;
  client_body_temp_path $folder;
  proxy_temp_path $folder;
  fastcgi_temp_path $folder;
  uwsgi_temp_path $folder;
  scgi_temp_path $folder;
$http
}
CONF
}
