#!/usr/bin/env python3
"""A user-space delay proxy for TCP and UDP: every chunk or datagram is held
for a random one-way delay (uniform in DELAY ± JITTER ms) in each
direction, as a jittery network path would. This kernel has no netem, so
the accuracy benchmark builds its path this way. TCP keeps the order of
bytes (a chunk never overtakes the one before it); UDP datagrams are
independent, as on a real network.

  delay_proxy.py --tcp 127.0.0.1:9001=127.0.0.1:8080 --udp 127.0.0.2:123=127.0.0.1:11123
"""
import argparse
import asyncio
import random
import socket


def split(pair):
    listen, target = pair.split("=")
    lhost, lport = listen.rsplit(":", 1)
    thost, tport = target.rsplit(":", 1)
    return (lhost, int(lport)), (thost, int(tport))


# The event loop's timers wake up to a millisecond late (epoll's time-out is
# rounded up to whole ms), which would add up to 1 ms to every leg and up to
# 0.5 ms of asymmetry to every exchange. So each release sleeps until just
# before its moment and spins the rest.
SPIN_S = 0.002


async def until(due):
    loop = asyncio.get_running_loop()
    if due - loop.time() > SPIN_S:
        await asyncio.sleep(due - loop.time() - SPIN_S)
    while loop.time() < due:
        pass


def send_at(due, send, *args):
    async def later():
        await until(due)
        send(*args)
    asyncio.get_running_loop().create_task(later())


class Delay:
    def __init__(self, mean_ms, jitter_ms):
        self.mean = mean_ms / 1000
        self.jitter = jitter_ms / 1000

    def draw(self):
        return self.mean + random.uniform(-self.jitter, self.jitter)


async def pump(reader, writer, delay):
    """Forwards reader to writer, each chunk after its delay, in order."""
    loop = asyncio.get_running_loop()
    queue = asyncio.Queue()

    async def deliver():
        while True:
            due, data = await queue.get()
            await until(due)
            if data is None:
                try:
                    writer.write_eof()
                except OSError:
                    pass
                return
            writer.write(data)
            await writer.drain()

    task = asyncio.create_task(deliver())
    last_due = 0.0
    try:
        while True:
            data = await reader.read(65536)
            last_due = max(last_due, loop.time() + delay.draw())
            await queue.put((last_due, data or None))
            if not data:
                break
        await task
    except (ConnectionError, OSError):
        task.cancel()
    finally:
        try:
            writer.close()
        except OSError:
            pass


async def serve_tcp(listen, target, delay):
    async def on_client(client_reader, client_writer):
        client_writer.get_extra_info("socket").setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        try:
            server_reader, server_writer = await asyncio.open_connection(*target)
        except OSError:
            client_writer.close()
            return
        server_writer.get_extra_info("socket").setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        await asyncio.gather(pump(client_reader, server_writer, delay),
                             pump(server_reader, client_writer, delay))

    server = await asyncio.start_server(on_client, *listen)
    await server.serve_forever()


class UdpUpstream(asyncio.DatagramProtocol):
    def __init__(self, front, client, delay):
        self.front, self.client, self.delay = front, client, delay

    def connection_made(self, transport):
        self.transport = transport

    def datagram_received(self, data, _addr):
        due = asyncio.get_running_loop().time() + self.delay.draw()
        send_at(due, self.front.transport.sendto, data, self.client)


class UdpFront(asyncio.DatagramProtocol):
    def __init__(self, target, delay):
        self.target, self.delay, self.upstreams = target, delay, {}

    def connection_made(self, transport):
        self.transport = transport

    def datagram_received(self, data, client):
        loop = asyncio.get_running_loop()
        loop.create_task(self.forward(data, client))

    async def forward(self, data, client):
        loop = asyncio.get_running_loop()
        due = loop.time() + self.delay.draw()
        if client not in self.upstreams:
            self.upstreams[client] = loop.create_datagram_endpoint(
                lambda: UdpUpstream(self, client, self.delay), remote_addr=self.target)
            self.upstreams[client] = asyncio.ensure_future(self.upstreams[client])
        transport, _ = await self.upstreams[client]
        send_at(due, transport.sendto, data)


async def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--tcp", action="append", default=[], help="LISTEN=TARGET, host:port each")
    parser.add_argument("--udp", action="append", default=[], help="LISTEN=TARGET, host:port each")
    parser.add_argument("--delay-ms", type=float, default=20)
    parser.add_argument("--jitter-ms", type=float, default=5)
    args = parser.parse_args()
    delay = Delay(args.delay_ms, args.jitter_ms)
    loop = asyncio.get_running_loop()
    tasks = [asyncio.create_task(serve_tcp(*split(p), delay)) for p in args.tcp]
    for p in args.udp:
        listen, target = split(p)
        await loop.create_datagram_endpoint(lambda t=target: UdpFront(t, delay), local_addr=listen)
    print("delay proxy ready", flush=True)
    await asyncio.gather(*tasks) if tasks else await asyncio.Event().wait()


if __name__ == "__main__":
    asyncio.run(main())
