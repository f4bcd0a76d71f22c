#!/usr/bin/env python3
"""A hostile peer for the test network, run inside a namespace of its own.

It accepts TCP connections on 139 and 445 and never answers (logging each
accept), and answers every WS-Discovery Probe with COUNT devices of its own,
each naming a computer whose metadata it serves on port 5357, so that a client
that opened the machines it lists would hang on each of them. Beside them it
sends what no client should follow or survive: a datagram whose XML would cost
gigabytes if each element copied its path, and devices whose addresses point
at the client's own loopback, at another host, through URL user information,
at a host name, and at a server of its own (port 5358) that trickles one byte
every 200 ms.

usage: tarpit_peer.py ADDRESS COUNT ACCEPT_LOG
       tarpit_peer.py ready ADDRESS   (from a client: exits 0 once the peer answers a Probe)
"""
import select
import socket
import struct
import sys
import time
import uuid

GROUP = "239.255.255.250"
NS = ('xmlns:s="http://www.w3.org/2003/05/soap-envelope" '
      'xmlns:a="http://schemas.xmlsoap.org/ws/2004/08/addressing" '
      'xmlns:d="http://schemas.xmlsoap.org/ws/2005/04/discovery"')


def endpoint(i):
    return "urn:uuid:00000000-0000-4000-8000-%012d" % i


def probe_match(relates_to, device, xaddr):
    return ('<?xml version="1.0"?><s:Envelope %s><s:Header><a:Action>'
            'http://schemas.xmlsoap.org/ws/2005/04/discovery/ProbeMatches</a:Action>'
            '<a:MessageID>urn:uuid:%s</a:MessageID><a:RelatesTo>%s</a:RelatesTo></s:Header>'
            '<s:Body><d:ProbeMatches><d:ProbeMatch><a:EndpointReference><a:Address>%s'
            '</a:Address></a:EndpointReference><d:Types>wsdp:Device</d:Types>'
            '<d:XAddrs>%s</d:XAddrs></d:ProbeMatch></d:ProbeMatches></s:Body>'
            '</s:Envelope>' % (NS, uuid.uuid4(), relates_to, device, xaddr)).encode()


def path_bomb():
    """A namespace URI of 36 KB over 4,000 empty elements 30 deep."""
    uri = "http://x/" + "a" * 36 * 1024
    return ('<r xmlns="%s">' % uri + "<d>" * 29 + "<e/>" * 4000 + "</d>" * 29
            + "</r>").encode()


def hostile_devices(own):
    """Devices whose addresses a client must not follow."""
    return [("urn:uuid:hostil-loopback", "http://127.0.0.1:5357/l"),
            ("urn:uuid:hostil-outro", "http://10.211.74.11:5357/o"),
            ("urn:uuid:hostil-userinfo", "http://10.211.74.11:80@%s:5357/u" % own),
            ("urn:uuid:hostil-nome", "http://apolo:5357/n"),
            ("urn:uuid:hostil-lento", "http://%s:5358/t" % own)]


def metadata(i):
    return ('<?xml version="1.0"?><s:Envelope xmlns:s="http://www.w3.org/2003/05/soap-envelope" '
            'xmlns:p="http://schemas.xmlsoap.org/ws/2006/02/devprof" '
            'xmlns:c="http://schemas.microsoft.com/windows/pub/2005/07"><s:Body>'
            '<p:Relationship><p:Host><c:Computer>ARMADILHA-%03d/Workgroup:ARMADILHA</c:Computer>'
            '</p:Host></p:Relationship></s:Body></s:Envelope>' % i).encode()


def between(text, start, end):
    at = text.find(start)
    if at < 0:
        return ""
    at += len(start)
    return text[at:text.find(end, at)]


def wait_until_answered(peer):
    """Sends Probes until one is answered from `peer`; at most 5 s."""
    probe = ('<?xml version="1.0"?><s:Envelope %s><s:Header><a:Action>'
             'http://schemas.xmlsoap.org/ws/2005/04/discovery/Probe</a:Action>'
             '<a:MessageID>urn:uuid:%s</a:MessageID></s:Header><s:Body><d:Probe/></s:Body>'
             '</s:Envelope>' % (NS, uuid.uuid4())).encode()
    client = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    client.settimeout(0.2)
    for _ in range(25):
        client.sendto(probe, (GROUP, 3702))
        try:
            while True:
                _, sender = client.recvfrom(65535)
                if sender[0] == peer:
                    return 0
        except socket.timeout:
            pass
    return 1


if sys.argv[1] == "ready":
    sys.exit(wait_until_answered(sys.argv[2]))

address, count, accept_log = sys.argv[1], int(sys.argv[2]), sys.argv[3]
udp = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
udp.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
udp.bind(("", 3702))
udp.setsockopt(socket.IPPROTO_IP, socket.IP_ADD_MEMBERSHIP,
               struct.pack("4s4s", socket.inet_aton(GROUP), socket.inet_aton(address)))

listeners = []
for port in (139, 445, 5357, 5358):
    server = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    server.bind((address, port))
    server.listen(256)
    listeners.append(server)

held = []
http = {}
# Connections to 5358 and when each is due its next byte.
trickling = {}
TRICKLE = b"HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n" + metadata(0) * 200
with open(accept_log, "a", buffering=1) as log:
    print("ready", flush=True)
    while True:
        readable, _, _ = select.select([udp] + listeners + list(http), [], [], 0.05)
        now = time.monotonic()
        for sock, (due, sent) in list(trickling.items()):
            if now >= due:
                try:
                    sock.send(TRICKLE[sent:sent + 1])
                    trickling[sock] = (now + 0.2, sent + 1)
                except OSError:
                    sock.close()
                    del trickling[sock]
        for sock in readable:
            if sock is udp:
                data, sender = udp.recvfrom(65535)
                text = data.decode("utf-8", "replace")
                if "discovery/Probe<" not in text:
                    continue
                relates = between(text, "MessageID>", "</")
                udp.sendto(path_bomb(), sender)
                for device, xaddr in hostile_devices(address):
                    udp.sendto(probe_match(relates, device, xaddr), sender)
                for i in range(count):
                    udp.sendto(probe_match(relates, endpoint(i),
                                           "http://%s:5357/%d" % (address, i)), sender)
            elif sock in listeners:
                connection, peer = sock.accept()
                port = sock.getsockname()[1]
                if port == 5357:
                    http[connection] = b""
                elif port == 5358:
                    trickling[connection] = (time.monotonic(), 0)
                else:
                    # Held open and never answered.
                    log.write("%d %s\n" % (port, peer[0]))
                    held.append(connection)
            else:
                chunk = sock.recv(65536)
                if not chunk:
                    sock.close()
                    del http[sock]
                    continue
                http[sock] += chunk
                request = http[sock]
                head, _, body = request.partition(b"\r\n\r\n")
                length = 0
                for line in head.split(b"\r\n"):
                    if line.lower().startswith(b"content-length:"):
                        length = int(line.split(b":")[1])
                if len(body) < length:
                    continue
                parts = head.split(b" ")
                number = parts[1].strip(b"/") if len(parts) > 1 else b"0"
                payload = metadata(int(number) if number.isdigit() else 0)
                sock.sendall(b"HTTP/1.1 200 OK\r\nContent-Type: application/soap+xml\r\n"
                             b"Content-Length: %d\r\nConnection: close\r\n\r\n" % len(payload)
                             + payload)
                sock.close()
                del http[sock]
