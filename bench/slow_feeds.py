#!/usr/bin/env python3
"""Times `feedwright --batch URLFILE --list` over many small feeds of which a few answer slowly,
spread over several loopback addresses: the slow ones side by side at the top of the list
against the same ones spread evenly down it. With a look-ahead bounded by memory rather than
rows the two take about as long.

    bench/slow_feeds.py build/app/feedwright [--feeds 2000] [--slow 40] [--delay 1.0] [--hosts 8]
"""
import argparse
import http.server
import os
import socketserver
import subprocess
import tempfile
import threading
import time

FEED = ('<rss version="2.0"><channel><title>{n}</title>'
        '<item><title>{n}</title><link>http://x.example/{n}</link></item></channel></rss>')


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = 'HTTP/1.1'
    delay = 1.0

    def do_GET(self):
        kind, n = self.path.strip('/').split('/')
        if kind == 'slow':
            time.sleep(self.delay)
        body = FEED.format(n=n).encode()
        self.send_response(200)
        self.send_header('Content-Type', 'application/rss+xml')
        self.send_header('Content-Length', str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, *args):
        pass


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
    request_queue_size = 256


def url_file(path, feeds, slow_rows, hosts, port):
    with open(path, 'w') as out:
        for n in range(feeds):
            kind = 'slow' if n in slow_rows else 'fast'
            out.write(f'http://127.0.0.{1 + n % hosts}:{port}/{kind}/{n}\n')


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('feedwright')
    parser.add_argument('--feeds', type=int, default=2000)
    parser.add_argument('--slow', type=int, default=40)
    parser.add_argument('--delay', type=float, default=1.0)
    parser.add_argument('--hosts', type=int, default=8)
    parser.add_argument('--port', type=int, default=18931)
    parser.add_argument('--runs', type=int, default=1)
    args = parser.parse_args()
    Handler.delay = args.delay
    servers = [Server((f'127.0.0.{h}', args.port), Handler) for h in range(1, args.hosts + 1)]
    for server in servers:
        threading.Thread(target=server.serve_forever, daemon=True).start()
    step = args.feeds // args.slow
    layouts = {'side by side': set(range(args.slow)),
               'spread': {i * step for i in range(args.slow)}}
    with tempfile.TemporaryDirectory() as folder:
        for _ in range(args.runs):
            for name, rows in layouts.items():
                path = os.path.join(folder, name.replace(' ', '-') + '.txt')
                url_file(path, args.feeds, rows, args.hosts, args.port)
                start = time.monotonic()
                done = subprocess.run([args.feedwright, '--batch', path, '--list'],
                                      stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
                seconds = time.monotonic() - start
                lines = done.stdout.count(b'\n')
                print(f'{name:>12}: {seconds:6.2f} s, {lines} rows, exit {done.returncode}', flush=True)
    for server in servers:
        server.shutdown()


if __name__ == '__main__':
    main()
