"""The sandbox's own certificate authority and server certificate, made with openssl."""

import fcntl
import os
import subprocess
import tempfile


class CertError(Exception):
    pass


def _run(args, cwd):
    proc = subprocess.run(["openssl", *args], cwd=cwd, capture_output=True, text=True)
    if proc.returncode != 0:
        raise CertError(f"openssl {args[0]} failed: {proc.stderr.strip()}")


def server_names(app):
    # "api" serves the CRM's current endpoint form (https://api.<domain>/crm/xmlrpc).
    # TLS clients refuse "*.localhost" (a wildcard over a one-label domain), so
    # every name a client uses is listed on its own.
    names = ["DNS:localhost", "DNS:*.localhost", "DNS:api.localhost"]
    if app and app != "api":
        names.append(f"DNS:{app}.localhost")
    names.append("IP:127.0.0.1")
    return names


def ensure_certificates(state_dir, app):
    """Create the CA on first use and a server certificate for the app's host names.

    The CA is kept for later runs so that clients can keep trusting it; the
    server certificate is made again whenever the set of names changes (a run
    with another application name). Returns (ca file, server cert, server key).
    """
    ca_key = os.path.join(state_dir, "ca.key")
    ca_pem = os.path.join(state_dir, "ca.pem")
    srv_key = os.path.join(state_dir, "server.key")
    srv_pem = os.path.join(state_dir, "server.pem")
    names_file = os.path.join(state_dir, "server.names")
    names = ",".join(server_names(app))

    with open(os.path.join(state_dir, ".cert.lock"), "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        with tempfile.TemporaryDirectory(dir=state_dir, prefix=".certs-") as work:
            if not (os.path.exists(ca_key) and os.path.exists(ca_pem)):
                _run(["req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                      "-nodes", "-keyout", "ca.key", "-out", "ca.pem", "-days", "3650",
                      "-subj", "/O=Pellwick Sandbox/CN=Pellwick Sandbox CA",
                      "-addext", "basicConstraints=critical,CA:TRUE",
                      "-addext", "keyUsage=critical,keyCertSign,cRLSign"], work)
                os.chmod(os.path.join(work, "ca.key"), 0o600)
                # Key first: a CA file without its key would be unusable next time.
                os.replace(os.path.join(work, "ca.key"), ca_key)
                os.replace(os.path.join(work, "ca.pem"), ca_pem)
                if os.path.exists(names_file):
                    os.remove(names_file)

            current = None
            if os.path.exists(names_file) and os.path.exists(srv_pem) and os.path.exists(srv_key):
                with open(names_file) as f:
                    current = f.read().strip()
            if current != names:
                with open(os.path.join(work, "ext.cnf"), "w") as f:
                    f.write(f"subjectAltName={names}\n"
                            "basicConstraints=critical,CA:FALSE\n"
                            "keyUsage=critical,digitalSignature,keyEncipherment\n"
                            "extendedKeyUsage=serverAuth\n")
                _run(["req", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes",
                      "-keyout", "server.key", "-out", "server.csr",
                      "-subj", "/O=Pellwick Sandbox/CN=localhost"], work)
                _run(["x509", "-req", "-in", "server.csr", "-CA", ca_pem, "-CAkey", ca_key,
                      "-set_serial", str(int.from_bytes(os.urandom(8), "big")),
                      "-days", "825", "-sha256", "-extfile", "ext.cnf", "-out", "server.pem"], work)
                os.chmod(os.path.join(work, "server.key"), 0o600)
                os.replace(os.path.join(work, "server.key"), srv_key)
                os.replace(os.path.join(work, "server.pem"), srv_pem)
                with open(os.path.join(work, "names"), "w") as f:
                    f.write(names + "\n")
                os.replace(os.path.join(work, "names"), names_file)
    return ca_pem, srv_pem, srv_key
