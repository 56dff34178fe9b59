#!/usr/bin/env python3
"""A local stand-in for the Infusionsoft CRM's XML-RPC and REST v2 APIs over HTTPS.

See README.md beside this file for the command line, the admin endpoint and
the call log. Prints one line "SANDBOX_READY {json}" on stdout once it
accepts connections; everything else goes to stderr.
"""

import argparse
import json
import os
import signal
import ssl
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from crmsandbox import certs, seed  # noqa: E402
from crmsandbox.api import CrmApi  # noqa: E402
from crmsandbox.faults import FAULT_MODES  # noqa: E402
from crmsandbox.rest import BASE as REST_BASE, RestApi  # noqa: E402
from crmsandbox.rest.service import KEY_HEADER_MODES, UNAUTHORIZED_FORMS  # noqa: E402
from crmsandbox.server import CallLog, SandboxServer  # noqa: E402
from crmsandbox.store import Store  # noqa: E402


def parse_args(argv):
    p = argparse.ArgumentParser(description="Local CRM sandbox (XML-RPC and REST v2 over HTTPS).")
    p.add_argument("--state", required=True, help="state folder: CA, certificate, database, call log")
    p.add_argument("--port", type=int, default=0, help="port on 127.0.0.1; 0 picks a free one")
    p.add_argument("--api-key", required=True, help="the API key that calls must carry")
    p.add_argument("--app", default="demo", help="application name (certificate for <app>.localhost)")
    p.add_argument("--vendor-key", default="pellwick-vendor-key",
                   help="vendor key accepted by DataService.getTemporaryKey")
    p.add_argument("--seed", choices=("demo", "empty"), default="demo",
                   help="data for a new store (ignored when the database exists)")
    p.add_argument("--contacts", type=int, help="seed this many generated contacts instead")
    p.add_argument("--stages", type=int, help="seed this many generated stages instead")
    p.add_argument("--action-sets", type=int, help="seed this many generated action sets instead")
    p.add_argument("--memory", action="store_true", help="keep the records in memory only")
    p.add_argument("--fault", choices=FAULT_MODES, default="none", help="misbehave from the start")
    p.add_argument("--fault-count", type=int, default=-1,
                   help="apply --fault to the next N calls only (-1: every call)")
    p.add_argument("--fault-delay-ms", type=int, default=0,
                   help="wait this long before answering a faulty call (delay mode: default 1000)")
    p.add_argument("--rest-key-header", choices=KEY_HEADER_MODES, default="both",
                   help="which form of the key REST calls may use")
    p.add_argument("--rest-unauthorized", choices=UNAUTHORIZED_FORMS, default="fault",
                   help="envelope of REST's 401: the gateway fault or the API error")
    p.add_argument("--limited-key", action="store_true",
                   help="the key lacks permissions: REST calls answer 403")
    args = p.parse_args(argv)
    for name in ("contacts", "stages", "action_sets"):
        value = getattr(args, name)
        if value is not None and value < 0:
            p.error(f"--{name.replace('_', '-')} must not be negative")
    if not 0 <= args.port <= 65535:
        p.error("--port must be between 0 and 65535")
    if not args.app or not all(c.isalnum() or c == "-" for c in args.app):
        p.error("--app must be letters, digits and '-'")
    return args


def main(argv=None):
    args = parse_args(sys.argv[1:] if argv is None else argv)
    state = os.path.abspath(args.state)
    os.makedirs(state, exist_ok=True)
    try:
        ca, cert, key = certs.ensure_certificates(state, args.app)
    except (certs.CertError, OSError) as exc:
        print(f"sandbox: cannot make certificates: {exc}", file=sys.stderr)
        return 2

    db_path = ":memory:" if args.memory else os.path.join(state, "crm.sqlite3")
    store = Store(db_path)
    if store.meta("seeded") is None:
        seed.seed(store, args.seed, args.contacts, args.stages, args.action_sets)
    seed.upgrade(store)
    api = CrmApi(store, args.api_key, args.app, args.vendor_key)
    rest = RestApi(store, api, args.api_key, args.app)
    rest.settings.update({"key_header": args.rest_key_header,
                          "unauthorized": args.rest_unauthorized, "limited": args.limited_key})

    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.minimum_version = ssl.TLSVersion.TLSv1_2
    context.load_cert_chain(cert, key)

    log_path = os.path.join(state, "calls.jsonl")
    call_log = CallLog(log_path)
    try:
        server = SandboxServer(args.port, context, api, rest, call_log)
    except OSError as exc:
        print(f"sandbox: cannot listen on 127.0.0.1:{args.port}: {exc}", file=sys.stderr)
        return 2
    try:
        server.faults.set(args.fault, args.fault_count, args.fault_delay_ms)
    except ValueError as exc:
        print(f"sandbox: {exc}", file=sys.stderr)
        return 2
    port = server.server_address[1]
    api.base_url = f"https://{args.app}.localhost:{port}"

    def stop(signum, frame):
        server.stop()

    signal.signal(signal.SIGTERM, stop)
    signal.signal(signal.SIGINT, stop)

    ready = {"port": port, "ca": ca, "log": log_path, "state": state,
             "url": f"https://localhost:{port}/api/xmlrpc",
             "rest_url": f"https://localhost:{port}{REST_BASE}"}
    sys.stdout.write("SANDBOX_READY " + json.dumps(ready) + "\n")
    sys.stdout.flush()
    print(f"sandbox: listening on https://{args.app}.localhost:{port}/api/xmlrpc "
          f"(also https://localhost:{port}/api/xmlrpc and /crm/xmlrpc; REST v2 at {REST_BASE})\n"
          f"sandbox: application {args.app!r}, API key {args.api_key!r}, CA file {ca}\n"
          f"sandbox: call log {log_path}; records "
          f"{'in memory' if args.memory else db_path}", file=sys.stderr)
    try:
        server.serve_forever(poll_interval=0.2)
    finally:
        server.server_close()
        call_log.close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
