#!/usr/bin/env python3
"""A flooding peer for the test network, run inside a namespace of its own.

It answers every WS-Discovery Probe with COUNT devices of its own, each naming
a computer (INUNDA-NNN) whose metadata it serves on port 5357, each in COPIES
messages whose MessageIDs are 60 KB long and all different, and sends Hellos
with 60 KB MessageIDs beside them. It answers every mDNS query with 400 DNS-SD services:
every eighth with an address that no host has, and one ("adeus") said goodbye
to with a TTL of 0. It answers at most MAX_QUERIES queries of each kind, so
that its sending ends by itself.

usage: flood_peer.py ADDRESS COUNT
       flood_peer.py ready ADDRESS   (from a client: exits 0 once the peer answers a Probe)
"""
import select
import socket
import struct
import sys
import uuid

WSD_GROUP = "239.255.255.250"
MDNS_GROUP = "224.0.0.251"
NS = ('xmlns:s="http://www.w3.org/2003/05/soap-envelope" '
      'xmlns:a="http://schemas.xmlsoap.org/ws/2004/08/addressing" '
      'xmlns:d="http://schemas.xmlsoap.org/ws/2005/04/discovery"')
HUGE = 60 * 1024
MAX_QUERIES = 64
COPIES = 2
SERVICES = 400
# Where the services with an address of no host point.
NOWHERE = "10.211.99."


def message_id(huge):
    return "urn:uuid:%s%s" % (uuid.uuid4(), "x" * (HUGE if huge else 0))


def probe_match(relates_to, i, xaddr, huge):
    return ('<?xml version="1.0"?><s:Envelope %s><s:Header><a:Action>'
            'http://schemas.xmlsoap.org/ws/2005/04/discovery/ProbeMatches</a:Action>'
            '<a:MessageID>%s</a:MessageID><a:RelatesTo>%s</a:RelatesTo></s:Header>'
            '<s:Body><d:ProbeMatches><d:ProbeMatch><a:EndpointReference><a:Address>'
            'urn:uuid:11111111-0000-4000-8000-%012d</a:Address></a:EndpointReference>'
            '<d:Types>wsdp:Device</d:Types><d:XAddrs>%s</d:XAddrs></d:ProbeMatch>'
            '</d:ProbeMatches></s:Body></s:Envelope>'
            % (NS, message_id(huge), relates_to, i, xaddr)).encode()


def hello(i, xaddr):
    return ('<?xml version="1.0"?><s:Envelope %s><s:Header><a:Action>'
            'http://schemas.xmlsoap.org/ws/2005/04/discovery/Hello</a:Action>'
            '<a:MessageID>%s</a:MessageID></s:Header><s:Body><d:Hello>'
            '<a:EndpointReference><a:Address>urn:uuid:22222222-0000-4000-8000-%012d'
            '</a:Address></a:EndpointReference><d:Types>wsdp:Device</d:Types>'
            '<d:XAddrs>%s</d:XAddrs><d:MetadataVersion>1</d:MetadataVersion></d:Hello>'
            '</s:Body></s:Envelope>' % (NS, message_id(True), i, xaddr)).encode()


def metadata(i):
    return ('<?xml version="1.0"?><s:Envelope xmlns:s="http://www.w3.org/2003/05/soap-envelope" '
            'xmlns:p="http://schemas.xmlsoap.org/ws/2006/02/devprof" '
            'xmlns:c="http://schemas.microsoft.com/windows/pub/2005/07"><s:Body>'
            '<p:Relationship><p:Host><c:Computer>INUNDA-%03d/Workgroup:INUNDA</c:Computer>'
            '</p:Host></p:Relationship></s:Body></s:Envelope>' % i).encode()


def between(text, start, end):
    at = text.find(start)
    if at < 0:
        return ""
    at += len(start)
    return text[at:text.find(end, at)]


def name(text):
    out = b""
    for label in text.split("."):
        out += bytes([len(label)]) + label.encode()
    return out + b"\0"


def record(owner, rtype, ttl, data):
    return name(owner) + struct.pack("!HHIH", rtype, 0x8001, ttl, len(data)) + data


def services(address):
    """Each service as its records: PTR, SRV and A."""
    out = [[record("_smb._tcp.local", 12, 0, name("adeus._smb._tcp.local")),
            record("adeus._smb._tcp.local", 33, 120,
                   struct.pack("!HHH", 0, 0, 445) + name("adeus.local")),
            record("adeus.local", 1, 120, socket.inet_aton(address))]]
    for i in range(SERVICES):
        instance = "inunda-%03d._smb._tcp.local" % i
        host = "inunda-%03d.local" % i
        at = NOWHERE + str(i % 250 + 1) if i % 8 == 7 else address
        out.append([record("_smb._tcp.local", 12, 120, name(instance)),
                    record(instance, 33, 120, struct.pack("!HHH", 0, 0, 445) + name(host)),
                    record(host, 1, 120, socket.inet_aton(at))])
    return out


def mdns_answers(query, address):
    """The flood as responses to `query`, 20 services a message."""
    if len(query) < 12:
        return []
    ident, flags = struct.unpack("!HH", query[:4])
    if flags & 0x8000:
        return []
    messages = []
    groups = services(address)
    for at in range(0, len(groups), 20):
        part = [r for group in groups[at:at + 20] for r in group]
        messages.append(struct.pack("!HHHHHH", ident, 0x8400, 0, len(part), 0, 0) + b"".join(part))
    return messages


def wait_until_answered(peer):
    """Sends Probes until one is answered from `peer`; at most 5 s."""
    probe = ('<?xml version="1.0"?><s:Envelope %s><s:Header><a:Action>'
             'http://schemas.xmlsoap.org/ws/2005/04/discovery/Probe</a:Action>'
             '<a:MessageID>urn:uuid:%s</a:MessageID></s:Header><s:Body><d:Probe/></s:Body>'
             '</s:Envelope>' % (NS, uuid.uuid4())).encode()
    client = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    client.settimeout(0.2)
    for _ in range(25):
        client.sendto(probe, (WSD_GROUP, 3702))
        try:
            while True:
                _, sender = client.recvfrom(65535)
                if sender[0] == peer:
                    return 0
        except socket.timeout:
            pass
    return 1


def joined(port, group, address):
    sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    sock.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    sock.bind(("", port))
    sock.setsockopt(socket.IPPROTO_IP, socket.IP_ADD_MEMBERSHIP,
                    struct.pack("4s4s", socket.inet_aton(group), socket.inet_aton(address)))
    sock.setsockopt(socket.IPPROTO_IP, socket.IP_MULTICAST_IF, socket.inet_aton(address))
    return sock


if sys.argv[1] == "ready":
    sys.exit(wait_until_answered(sys.argv[2]))

address, count = sys.argv[1], int(sys.argv[2])
wsd = joined(3702, WSD_GROUP, address)
mdns = joined(5353, MDNS_GROUP, address)
web = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
web.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
web.bind((address, 5357))
web.listen(256)
http = {}
probes = 0
queries = 0
print("ready", flush=True)
while True:
    readable, _, _ = select.select([wsd, mdns, web] + list(http), [], [], 0.5)
    for sock in readable:
        if sock is wsd:
            data, sender = wsd.recvfrom(65535)
            text = data.decode("utf-8", "replace")
            if "discovery/Probe<" not in text or probes >= MAX_QUERIES:
                continue
            probes += 1
            relates = between(text, "MessageID>", "</")
            for i in range(count):
                xaddr = "http://%s:5357/%d" % (address, i)
                # Each match comes as several messages, each with an id of its own.
                for _ in range(COPIES):
                    try:
                        wsd.sendto(probe_match(relates, i, xaddr, True), sender)
                    except OSError:
                        pass
                if i < 20:
                    try:
                        wsd.sendto(hello(i, xaddr), (WSD_GROUP, 3702))
                    except OSError:
                        pass
        elif sock is mdns:
            data, sender = mdns.recvfrom(65535)
            if queries >= MAX_QUERIES or sender[0] == address:
                continue
            queries += 1
            # A one-shot query is answered to its port, others to the group.
            to = sender if sender[1] != 5353 else (MDNS_GROUP, 5353)
            for message in mdns_answers(data, address):
                try:
                    mdns.sendto(message, to)
                except OSError:
                    pass
        elif sock is web:
            connection, _ = web.accept()
            http[connection] = b""
        else:
            chunk = sock.recv(65536)
            if not chunk:
                sock.close()
                del http[sock]
                continue
            http[sock] += chunk
            head, _, body = http[sock].partition(b"\r\n\r\n")
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
