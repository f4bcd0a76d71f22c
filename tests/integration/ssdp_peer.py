#!/usr/bin/env python3
"""Scripted SSDP devices for the test network, written from the UPnP Device
Architecture: each answers an M-SEARCH (ssdp:all or upnp:rootdevice) with one
HTTPU answer per root device and service, after a random wait of up to MX
seconds, and serves its descriptions over HTTP on its own address.

  ssdp_peer.py device ADDRESS PORT LOG NAME [NAME...]
      one root device per NAME ("-": a description with no friendlyName), each
      with a nested device of another name.
  ssdp_peer.py hostile ADDRESS OTHER LOG
      a hostile device: hundreds of root devices, descriptions of many
      megabytes, descriptions that trickle, a redirect to OTHER, LOCATIONs at
      OTHER, at user information, at the client's loopback and at host names,
      malformed and oversized answers. It logs every HTTP request it serves.
  ssdp_peer.py listen ADDRESS PORT LOG
      counts the connections made to ADDRESS:PORT (must stay none).

Every peer stops by itself after LIFETIME seconds (an hour); answers are sent only to
the address an M-SEARCH came from, at most 20 searches a second.
"""
import random
import select
import socket
import struct
import sys
import time

GROUP = "239.255.255.250"
PORT = 1900
LIFETIME = 3600
NAMESPACE = "urn:schemas-upnp-org:device-1-0"


def description(name, nested="Dispositivo interno"):
    friendly = "" if name is None else "<friendlyName>%s</friendlyName>" % name
    return (
        '<?xml version="1.0" encoding="utf-8"?>\n<root xmlns="%s">'
        "<specVersion><major>1</major><minor>0</minor></specVersion><device>"
        "<deviceType>urn:schemas-upnp-org:device:InternetGatewayDevice:1</deviceType>"
        "<deviceList><device><deviceType>urn:schemas-upnp-org:device:WANDevice:1</deviceType>"
        "<friendlyName>%s</friendlyName></device></deviceList>%s"
        "<manufacturer>Fabricante</manufacturer><UDN>uuid:%s</UDN></device></root>\n"
        % (NAMESPACE, nested, friendly, random.randrange(1 << 32))
    ).encode()


def answer(location, usn, st="upnp:rootdevice", extra=""):
    return (
        "HTTP/1.1 200 OK\r\nCACHE-CONTROL: max-age=1800\r\nEXT:\r\n"
        + ("LOCATION: %s\r\n" % location if location is not None else "")
        + "SERVER: Linux/6.1 UPnP/1.0 Teste/1.0\r\nST: %s\r\nUSN: %s::%s\r\n%s\r\n"
        % (st, usn, st, extra)
    ).encode()


def search_socket(address):
    sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM, socket.IPPROTO_UDP)
    sock.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    sock.bind(("", PORT))
    membership = struct.pack("4s4s", socket.inet_aton(GROUP), socket.inet_aton(address))
    sock.setsockopt(socket.IPPROTO_IP, socket.IP_ADD_MEMBERSHIP, membership)
    return sock


def mx_of(message):
    """MX of an M-SEARCH for everything or for root devices; None otherwise."""
    lines = message.decode("latin-1").split("\r\n")
    if not lines or not lines[0].startswith("M-SEARCH * HTTP/1.1"):
        return None
    headers = {}
    for line in lines[1:]:
        name, _, value = line.partition(":")
        headers[name.strip().upper()] = value.strip()
    if headers.get("MAN") != '"ssdp:discover"' or headers.get("ST") not in ("ssdp:all", "upnp:rootdevice"):
        return None
    try:
        return max(1, min(5, int(headers.get("MX", ""))))
    except ValueError:
        return None


class HttpServer:
    """A small non-blocking HTTP server: `routes` maps a path to a function
    returning a generator of (delay_seconds, bytes) pieces."""

    def __init__(self, address, port, routes, log):
        self.listener = socket.socket()
        self.listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self.listener.bind((address, port))
        self.listener.listen(64)
        self.listener.setblocking(False)
        self.routes = routes
        self.log = log
        # socket -> [request bytes, generator or None, next piece due, bytes pending,
        #            peer, when the request was read]
        self.clients = {}

    def sockets(self):
        return [self.listener] + list(self.clients)

    def step(self, readable):
        now = time.monotonic()
        if self.listener in readable:
            try:
                client, peer = self.listener.accept()
                client.setblocking(False)
                self.clients[client] = [b"", None, now, b"", peer, now]
            except OSError:
                pass
        for client in list(self.clients):
            state = self.clients[client]
            try:
                if state[1] is None and client in readable:
                    data = client.recv(4096)
                    if not data:
                        raise OSError("closed")
                    state[0] += data
                    if b"\r\n\r\n" in state[0]:
                        line = state[0].split(b"\r\n", 1)[0].decode("latin-1")
                        self.log.write("request %s from %s:%d\n" % ((line,) + state[4]))
                        parts = line.split()
                        path = parts[1] if len(parts) > 1 else "/"
                        route = self.routes.get(path)
                        state[1] = route() if route else iter([(0, b"HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n")])
                        state[2] = state[5] = now
                while state[1] is not None and now >= state[2]:
                    if state[3]:
                        sent = client.send(state[3])
                        state[3] = state[3][sent:]
                        if state[3]:
                            break
                    piece = next(state[1], None)
                    if piece is None:
                        raise OSError("done")
                    delay, data = piece
                    state[2] = now + delay
                    state[3] = data
            except (OSError, BlockingIOError) as error:
                if isinstance(error, BlockingIOError):
                    continue
                if state[1] is not None:
                    self.log.write("ended %s:%d after %.2f s\n" % (state[4] + (now - state[5],)))
                client.close()
                del self.clients[client]

    def busy(self):
        return any(state[1] is not None for state in self.clients.values())


def ok(body, content_type="text/xml"):
    return lambda: iter([(0, b"HTTP/1.1 200 OK\r\nContent-Type: %s\r\nContent-Length: %d\r\nConnection: close\r\n\r\n"
                          % (content_type.encode(), len(body)) + body)])


def run(address, log, server, answers_for, delay_answers):
    search = search_socket(address)
    reply = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    reply.bind((address, 0))
    pending = []  # (due, datagram, to)
    log.write("ready\n")
    end = time.monotonic() + LIFETIME
    window_start, searches = time.monotonic(), 0
    while time.monotonic() < end:
        now = time.monotonic()
        timeout = 0.05 if (pending or (server and server.busy())) else 0.5
        watched = [search] + (server.sockets() if server else [])
        readable = select.select(watched, [], [], timeout)[0]
        now = time.monotonic()
        if search in readable:
            message, sender = search.recvfrom(65535)
            mx = mx_of(message)
            if now - window_start >= 1:
                window_start, searches = now, 0
            if mx is not None and searches < 20:
                searches += 1
                log.write("search from %s\n" % sender[0])
                for datagram in answers_for():
                    due = now + (random.uniform(0, mx) if delay_answers else 0)
                    pending.append((due, datagram, sender))
        pending.sort(key=lambda item: item[0])
        while pending and pending[0][0] <= now:
            _, datagram, to = pending.pop(0)
            try:
                reply.sendto(datagram, to)
            except OSError:
                pass
        if server:
            server.step(readable)


def device(address, port, log, names):
    routes = {}
    roots = []
    for index, name in enumerate(names):
        path = "/root%d.xml" % index
        routes[path] = ok(description(None if name == "-" else name))
        roots.append(("http://%s:%d%s" % (address, port, path), "uuid:%s-%d" % (address, index)))
    server = HttpServer(address, port, routes, log)

    def answers():
        datagrams = []
        for location, usn in roots:
            datagrams.append(answer(location, usn))
            datagrams.append(answer(location, usn, "urn:schemas-upnp-org:service:Layer3Forwarding:1"))
        return datagrams

    run(address, log, server, answers, True)


def hostile(address, other, log):
    port = 8080
    own = "http://%s:%d" % (address, port)

    def trickle_body():
        yield 0, b"HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\nContent-Length: 100000\r\n\r\n"
        for _ in range(300):
            yield 0.1, b"<"

    def trickle_headers():
        for byte in b"HTTP/1.1 200 OK\r\n":
            yield 0.1, bytes([byte])
        for _ in range(300):
            yield 0.1, b"X"

    def megabytes(chunked):
        def route():
            padding = b"<!--" + b"x" * 65536 + b"-->"
            if chunked:
                yield 0, b"HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\nTransfer-Encoding: chunked\r\n\r\n"
                for _ in range(80):
                    yield 0, b"%x\r\n%s\r\n" % (len(padding), padding)
                yield 0, b"0\r\n\r\n"
            else:
                body = description("Gigante") + padding * 80
                yield 0, b"HTTP/1.1 200 OK\r\nContent-Length: %d\r\n\r\n" % len(body)
                for start in range(0, len(body), 65536):
                    yield 0, body[start:start + 65536]
        return route

    redirect = lambda: iter([(0, ("HTTP/1.1 302 Found\r\nLocation: http://%s:%d/x.xml\r\nContent-Length: 0\r\n\r\n"
                                   % (other, port)).encode())])
    laughs = ('<?xml version="1.0"?><!DOCTYPE root [<!ENTITY a "aaaaaaaaaa">'
              + "".join('<!ENTITY %s "%s">' % (chr(98 + i), ("&%s;" % chr(97 + i)) * 10) for i in range(8))
              + ']><root xmlns="%s"><device><friendlyName>&i;</friendlyName></device></root>' % NAMESPACE).encode()
    # The first eight descriptions in answer order: every one fails to name the
    # device but the last, whose name carries controls and bidirectional marks.
    routes = {
        "/d0.xml": trickle_body,
        "/d1.xml": megabytes(False),
        "/d2.xml": redirect,
        "/d3.xml": megabytes(True),
        "/d4.xml": ok(laughs),
        "/d5.xml": trickle_headers,
        "/d6.xml": ok(description(None, "Aninhado")),
        "/d7.xml": ok(description("Hostil\u202e\u0085\ttxt.exe\u200b")),
    }
    for index in range(8, 400):
        routes["/d%d.xml" % index] = ok(description("ARMADILHA-%03d" % index))
    server = HttpServer(address, port, routes, log)
    elsewhere = [
        "http://%s:%d/outro.xml" % (other, port),
        "http://127.0.0.1:%d/loopback.xml" % port,
        "http://user@%s:%d/d8.xml" % (address, port),
        "http://%s:%d@%s:%d/d9.xml" % (other, port, address, port),
        "http://localhost:%d/nome.xml" % port,
        "http://cliente:%d/nome.xml" % port,
        "http://[::1]:%d/v6.xml" % port,
        "http://impressora.local:%d/nome.xml" % port,
    ]

    def answers():
        datagrams = [answer(url, "uuid:longe-%d" % i) for i, url in enumerate(elsewhere)]
        # Malformed, oversized, ambiguous and folded answers.
        datagrams.append(answer(None, "uuid:sem-location"))
        datagrams.append(answer(own + "/d10.xml", "uuid:duplo", extra="LOCATION: http://%s:%d/x.xml\r\n" % (other, port)))
        datagrams.append(b"HTTP/1.1 200 OK\r\nLOCATION: " + (own + "/d11.xml").encode() + b"\r\nX-PAD: " + b"p" * 9000 + b"\r\n\r\n")
        datagrams.append(b"HTTP/1.1 200 OK\r\n LOCATION: " + (own + "/d12.xml").encode() + b"\r\n\r\n")
        datagrams.append(b"NOTIFY * HTTP/1.1\r\nLOCATION: " + (own + "/d13.xml").encode() + b"\r\n\r\n")
        for index in range(400):
            datagrams.append(answer("%s/d%d.xml" % (own, index), "uuid:armadilha-%d" % index))
        return datagrams

    run(address, log, server, answers, False)


def listen(address, port, log):
    server = socket.socket()
    server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    server.bind((address, port))
    server.listen(16)
    log.write("ready\n")
    end = time.monotonic() + LIFETIME
    while time.monotonic() < end:
        if select.select([server], [], [], 0.5)[0]:
            connection, peer = server.accept()
            log.write("connection from %s:%d\n" % peer)
            connection.close()


def main():
    mode = sys.argv[1]
    if mode == "device":
        address, port, path = sys.argv[2], int(sys.argv[3]), sys.argv[4]
        with open(path, "a", buffering=1) as log:
            device(address, port, log, sys.argv[5:])
    elif mode == "hostile":
        with open(sys.argv[4], "a", buffering=1) as log:
            hostile(sys.argv[2], sys.argv[3], log)
    elif mode == "listen":
        with open(sys.argv[4], "a", buffering=1) as log:
            listen(sys.argv[2], int(sys.argv[3]), log)
    else:
        sys.exit("unknown mode " + mode)


if __name__ == "__main__":
    main()
