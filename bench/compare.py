#!/usr/bin/env python3
"""Runs the benchmarks built in BUILD/bench beside their reference tools on the same
data and prints one table of figures and ratios (called by bench/run.sh).

Every figure is the best of several runs, ours and the reference's alike, so that
other work on the machine disturbs both sides the same way. Ratios are written so
that above 1 means ours is faster.
"""
import argparse
import json
import os
import resource
import select
import shutil
import ssl
import subprocess
import sys
import tempfile
import time
import xmlrpc.client

DATA_BYTES = 64 << 20
RUNS = 7
UPLOAD_BYTES = 20 << 20
UPLOAD_RUNS = 5


def run_benchmark(exe, env_extra, bench_filter=None, repetitions=5):
    """Runs a Google Benchmark program; returns {name: best run} over repetitions."""
    with tempfile.NamedTemporaryFile(suffix=".json", delete=False) as out:
        out_path = out.name
    cmd = [exe, f"--benchmark_out={out_path}", "--benchmark_out_format=json",
           f"--benchmark_repetitions={repetitions}"]
    if bench_filter:
        cmd.append(f"--benchmark_filter={bench_filter}")
    env = dict(os.environ, **env_extra)
    done = subprocess.run(cmd, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                          text=True)
    if done.returncode != 0:
        raise SystemExit(f"{exe} failed:\n{done.stderr}")
    with open(out_path) as f:
        report = json.load(f)
    os.unlink(out_path)
    best = {}
    for b in report["benchmarks"]:
        if b.get("run_type") != "iteration":
            continue
        if b.get("error_occurred"):
            raise SystemExit(f"{b['name']}: {b.get('error_message')}")
        name = b.get("run_name", b["name"]).split("/")[0]
        if name not in best or b["real_time"] < best[name]["real_time"]:
            best[name] = b
    return best


def seconds(b, key="real_time"):
    scale = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}[b["time_unit"]]
    return b[key] * scale


def time_command(cmd, runs=RUNS, stdin=None):
    """Best wall time and best CPU time (user + system) of a command."""
    best_wall = best_cpu = float("inf")
    for _ in range(runs):
        before = resource.getrusage(resource.RUSAGE_CHILDREN)
        start = time.perf_counter()
        with open(stdin, "rb") if stdin else open(os.devnull, "rb") as inp:
            subprocess.run(cmd, stdin=inp, stdout=subprocess.DEVNULL, check=True)
        wall = time.perf_counter() - start
        after = resource.getrusage(resource.RUSAGE_CHILDREN)
        cpu = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
        best_wall, best_cpu = min(best_wall, wall), min(best_cpu, cpu)
    return best_wall, best_cpu


def openssl_md5_speed():
    """Bytes per second of `openssl speed -evp md5` on 16 KiB blocks (best of 3)."""
    best = 0.0
    for _ in range(3):
        out = subprocess.run(["openssl", "speed", "-evp", "md5", "-bytes", "16384",
                              "-seconds", "2"], capture_output=True, text=True, check=True).stdout
        line = [l for l in out.splitlines() if l.lower().startswith("md5")][-1]
        best = max(best, float(line.split()[-1].rstrip("k")) * 1000)
    return best


def python_loads_times(answer):
    """Best wall and CPU seconds of one xmlrpc.client.loads of the answer."""
    code = (
        "import json, sys, time, timeit, xmlrpc.client\n"
        "data = open(sys.argv[1], 'rb').read()\n"
        "params, _ = xmlrpc.client.loads(data)\n"
        "assert len(params[0]) > 0\n"
        "n = 5\n"
        "wall = min(timeit.repeat(lambda: xmlrpc.client.loads(data), number=n, repeat=7)) / n\n"
        "cpu = min(timeit.repeat(lambda: xmlrpc.client.loads(data), number=n, repeat=7,\n"
        "                        timer=time.process_time)) / n\n"
        "print(json.dumps({'wall': wall, 'cpu': cpu, 'records': len(params[0]),\n"
        "                  'python': sys.version.split()[0]}))\n"
    )
    out = subprocess.run([sys.executable, "-c", code, answer], capture_output=True, text=True,
                         check=True).stdout
    return json.loads(out)


class Sandbox:
    """The CRM sandbox as a child process, on a free loopback port."""

    def __init__(self, root, key, extra=()):
        self.state = tempfile.mkdtemp(prefix="pellwick-bench-sandbox-")
        self.proc = subprocess.Popen(
            [sys.executable, os.path.join(root, "sandbox", "crm_sandbox.py"), "--state",
             self.state, "--api-key", key, "--memory", *extra],
            stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        ready, _, _ = select.select([self.proc.stdout], [], [], 60)
        line = self.proc.stdout.readline() if ready else ""
        if not line.startswith("SANDBOX_READY "):
            self.stop()
            raise SystemExit("the sandbox did not start: " + self.proc.stderr.read())
        self.info = json.loads(line.split(" ", 1)[1])
        self.logged = 0

    def new_calls(self):
        """Calls logged since the last look: (count, distinct TLS connections)."""
        with open(self.info["log"]) as f:
            calls = [json.loads(l) for l in f if l.strip()]
        fresh = calls[self.logged:]
        self.logged = len(calls)
        return len(fresh), len({c["connection"] for c in fresh})

    def stop(self):
        if self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
        shutil.rmtree(self.state, ignore_errors=True)


def run_measured(measure, cmd):
    """Peak memory (bytes), CPU seconds (user + system) and wall seconds of one run of a
    command, as the kernel counted them for that process alone (see measure.cpp)."""
    done = subprocess.run([measure] + cmd, capture_output=True, text=True)
    if done.returncode != 0:
        raise SystemExit(f"{' '.join(cmd)} failed with status {done.returncode}: {done.stderr}")
    figures = json.loads(done.stdout)
    return figures["peak"], figures["cpu"], figures["wall"]


def upload_figures(args, bench_dir, work):
    """Stores a 20 MiB file in the sandbox with the library, curl (body from memory, and
    streamed with -T) and Python; what each costs beyond storing a 1-byte file."""
    big, tiny = os.path.join(work, "quote.pdf"), os.path.join(work, "tiny.pdf")
    if not os.path.exists(big) or os.path.getsize(big) != UPLOAD_BYTES:
        with open(big, "wb") as f:
            f.write(os.urandom(UPLOAD_BYTES))  # a PDF is mostly compressed streams
    with open(tiny, "wb") as f:
        f.write(b"%")
    key, contact = "bench-key", 1
    sandbox = Sandbox(args.root, key)
    try:
        port, ca = sandbox.info["port"], sandbox.info["ca"]
        exe = os.path.join(bench_dir, "upload_bench")
        measure = os.path.join(bench_dir, "measure")
        ours = lambda path: [exe, "--port", str(port), "--ca", ca, "--key", key,
                             "--contact", str(contact), path]
        ours_rest = lambda path: ours(path)[:-1] + ["--interface", "rest", path]
        for path in (big, tiny):  # stores them once, so that every run below replaces
            run_measured(measure, ours(path))
        url = f"https://localhost:{port}/api/xmlrpc"
        proxy = xmlrpc.client.ServerProxy(url, context=ssl.create_default_context(cafile=ca))
        file_ids, bodies = {}, {}
        for path in (big, tiny):
            found = proxy.DataService.query(key, "FileBox", 10, 0, {
                "ContactId": contact, "FileName": os.path.basename(path)}, ["Id"])
            file_ids[path], bodies[path] = found[0]["Id"], path + ".xml"
            subprocess.run([exe, "--body", bodies[path], "--key", key, "--file-id",
                            str(file_ids[path]), path], check=True)
        curl = ["curl", "-sS", "-f", "-o", os.devnull, "--cacert", ca, "-H",
                "Content-Type: text/xml", "-H", "Expect:"]
        clients = [
            ("tessary UpdateFileInFileBox", ours),
            ("curl, body from memory (--data-binary @)",
             lambda p: curl + ["--data-binary", "@" + bodies[p], url]),
            ("curl, body streamed (-T)", lambda p: curl + ["-T", bodies[p], "-X", "POST", url]),
            (f"Python {sys.version.split()[0]} xmlrpc.client",
             lambda p: [sys.executable, os.path.join(args.root, "bench", "upload_python.py"),
                        url, ca, key, str(file_ids[p]), p]),
            ("tessary UpdateFileInFileBox, REST v2", ours_rest),
            (f"Python {sys.version.split()[0]} http.client multipart, REST v2",
             lambda p: [sys.executable, os.path.join(args.root, "bench", "upload_rest_python.py"),
                        str(port), ca, key, str(file_ids[p]), p]),
        ]
        results = []
        for name, command in clients:
            print(f"  {name} ...", file=sys.stderr)
            best = {}
            for path in (big, tiny):
                runs = [run_measured(measure, command(path)) for _ in range(UPLOAD_RUNS)]
                best[path] = [min(r[i] for r in runs) for i in range(3)]
            # Below the noise of a few pages a difference reads as none.
            results.append((name, max(best[big][0] - best[tiny][0], 0),
                            max(best[big][1] - best[tiny][1], 0), best[big][2]))
    finally:
        sandbox.stop()
    return results


def print_upload(results):
    size = UPLOAD_BYTES
    curl_cpu = results[1][2]
    print(f"\nStoring a {size >> 20} MiB file in the sandbox's file box (best of {UPLOAD_RUNS} "
          "runs; memory and CPU beyond storing a 1-byte file the same way):\n")
    headers = ("client", "extra peak memory", "x file", "CPU", "x curl (memory)", "wall")
    rows = [(name, f"{mem / 1e6:.1f} MB", f"{mem / size:.2f}x", ms(cpu), f"{cpu / curl_cpu:.2f}x",
             ms(wall)) for name, mem, cpu, wall in results]
    widths = [max(len(r[i]) for r in rows + [headers]) for i in range(len(headers))]
    for r in [headers, tuple("-" * w for w in widths)] + rows:
        print("  ".join(c.ljust(w) for c, w in zip(r, widths)).rstrip())
    _, mem, cpu, _ = results[0]
    print(f"\nTargets: extra peak memory <= 1.5x the file: {mem / size:.2f}x, "
          f"{'met' if mem <= 1.5 * size else 'MISSED'}; CPU <= 1.5x curl's post from memory: "
          f"{cpu / curl_cpu:.2f}x, {'met' if cpu <= 1.5 * curl_cpu else 'MISSED'}")
    mem = results[4][1]
    print(f"REST v2: extra peak memory < 0.2x the file: {mem / size:.2f}x, "
          f"{'met' if mem < 0.2 * size else 'MISSED'}")


QUERY_RUNS = 5
QUERY_REPEAT = 5


def query_figures(args, bench_dir):
    """The contact search's query of 1,000 records over each interface, ours and
    Python's: CPU per query and extra peak memory beyond the same query of 1 record,
    and the bytes of request and answer bodies."""
    key, count = "bench-key", 1000
    sandbox = Sandbox(args.root, key, ["--contacts", str(count)])
    try:
        port, ca = str(sandbox.info["port"]), sandbox.info["ca"]
        measure = os.path.join(bench_dir, "measure")
        python = os.path.join(args.root, "bench", "query_python.py")
        results = []
        for interface in ("xmlrpc", "rest"):
            clients = [
                ("tessary DataService.query",
                 lambda limit: [os.path.join(bench_dir, "query_bench"), "--interface", interface,
                                "--port", port, "--ca", ca, "--key", key, "--limit", str(limit),
                                "--repeat", str(QUERY_REPEAT)]),
                (f"Python {'xmlrpc.client' if interface == 'xmlrpc' else 'http.client + json'}",
                 lambda limit: [sys.executable, python, interface, port, ca, key, str(limit),
                                str(QUERY_REPEAT)]),
            ]
            sizes = json.loads(subprocess.run(
                [sys.executable, python, interface, port, ca, key, str(count), "1", "--bytes"],
                capture_output=True, text=True, check=True).stdout)
            for name, command in clients:
                print(f"  {interface}: {name} ...", file=sys.stderr)
                best = {}
                for limit in (count, 1):
                    runs = [run_measured(measure, command(limit)) for _ in range(QUERY_RUNS)]
                    best[limit] = [min(r[i] for r in runs) for i in range(2)]
                results.append((interface, name, max(best[count][0] - best[1][0], 0),
                                max(best[count][1] - best[1][1], 0) / QUERY_REPEAT, sizes))
    finally:
        sandbox.stop()
    return results


def print_query(results):
    print(f"\nThe contact search's query of 1,000 contacts (six fields) against the sandbox, "
          f"{QUERY_REPEAT} per process, best of {QUERY_RUNS} processes; CPU per query and "
          "extra peak memory beyond the same query of 1 contact:\n")
    headers = ("interface", "client", "CPU per query", "extra peak memory", "answer bytes",
               "request bytes")
    rows = [(i, n, ms(cpu), f"{mem / 1e6:.1f} MB", f"{s['answer']:,}", f"{s['request']:,}")
            for i, n, mem, cpu, s in results]
    widths = [max(len(r[k]) for r in rows + [headers]) for k in range(len(headers))]
    for r in [headers, tuple("-" * w for w in widths)] + rows:
        print("  ".join(c.ljust(w) for c, w in zip(r, widths)).rstrip())
    xml, rest = results[0][3], results[2][3]
    print(f"\nTarget: REST v2 query CPU <= the XML-RPC path's: {rest / xml:.2f}x, "
          f"{'met' if rest <= xml else 'MISSED'}")


def rate(bytes_per_second):
    return f"{bytes_per_second / 1e9:.2f} GB/s" if bytes_per_second >= 1e9 else \
        f"{bytes_per_second / 1e6:.0f} MB/s"


def ms(t):
    return f"{t * 1e3:.2f} ms" if t < 0.1 else f"{t * 1e3:.0f} ms"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    parser.add_argument("--root", required=True)
    parser.add_argument("--no-sandbox", action="store_true",
                        help="skip the runs against the sandbox (keep-alive, upload)")
    parser.add_argument("--upload-only", action="store_true", help="only the upload comparison")
    parser.add_argument("--interfaces-only", action="store_true",
                        help="only the comparisons of the two interfaces (query, upload)")
    args = parser.parse_args()

    bench_dir = os.path.join(args.build, "bench")
    work = os.path.join(args.build, "bench-data")
    os.makedirs(work, exist_ok=True)
    if args.upload_only or args.interfaces_only:
        if args.interfaces_only:
            print("Running query_bench and Python against the sandbox ...", file=sys.stderr)
            print_query(query_figures(args, bench_dir))
        print("Running upload_bench, curl and Python against the sandbox ...", file=sys.stderr)
        print_upload(upload_figures(args, bench_dir, work))
        return
    data = os.path.join(work, "random-64MiB.bin")
    if not os.path.exists(data) or os.path.getsize(data) != DATA_BYTES:
        with open(data, "wb") as f:
            f.write(os.urandom(DATA_BYTES))
    answer = os.path.join(work, "contacts-1000.xml")
    subprocess.run([sys.executable, os.path.join(args.root, "bench", "make_contact_answer.py"),
                    answer, "1000"], check=True)

    rows = []  # (what, ours, reference, ratio, target, verdict, note)

    def add(what, ours, reference, ratio, target=None, note=""):
        verdict = "" if target is None else ("met" if ratio >= target else "MISSED")
        rows.append((what, ours, reference, f"{ratio:.2f}x",
                     "" if target is None else f">= {target:g}x", verdict, note))

    def wall_note(ours_wall, ref_wall):
        return f"wall clock: ours {ms(ours_wall)}, reference {ms(ref_wall)} " \
               f"({ref_wall / ours_wall:.2f}x)"

    print("Running encoding_bench (base64, MD5) ...", file=sys.stderr)
    enc = run_benchmark(os.path.join(bench_dir, "encoding_bench"), {"PELLWICK_BENCH_DATA": data})

    b = enc["BM_EncodeBase64"]
    wall, cpu = time_command(["base64", "-w", "64", data])
    add("base64 encode, 64 MiB", rate(DATA_BYTES / seconds(b, "cpu_time")),
        f"base64 -w 64: {rate(DATA_BYTES / cpu)}", cpu / seconds(b, "cpu_time"), 1.0,
        wall_note(seconds(b), wall))

    b = enc["BM_MD5_16KiB"]
    ssl = openssl_md5_speed()  # openssl speed counts CPU time too
    add("MD5, 16 KiB blocks", rate(16384 / seconds(b, "cpu_time")),
        f"openssl speed -evp md5: {rate(ssl)}", 16384 / seconds(b, "cpu_time") / ssl, 0.9)

    b = enc["BM_MD5"]
    wall, cpu = time_command(["md5sum", data])
    add("MD5, 64 MiB", rate(DATA_BYTES / seconds(b, "cpu_time")), f"md5sum: {rate(DATA_BYTES / cpu)}",
        cpu / seconds(b, "cpu_time"), 0.9, wall_note(seconds(b), wall))

    b = enc["BM_DecodeBase64"]
    encoded = os.path.join(work, "random-64MiB.b64")
    with open(encoded, "wb") as f:
        subprocess.run(["base64", "-w", "64", data], stdout=f, check=True)
    wall, cpu = time_command(["base64", "-d", encoded])
    add("base64 decode, 64 MiB", rate(DATA_BYTES / seconds(b, "cpu_time")),
        f"base64 -d: {rate(DATA_BYTES / cpu)}", cpu / seconds(b, "cpu_time"), None,
        wall_note(seconds(b), wall))

    print("Running codec_bench (XML-RPC answer) ...", file=sys.stderr)
    b = run_benchmark(os.path.join(bench_dir, "codec_bench"),
                      {"PELLWICK_BENCH_ANSWER": answer})["BM_DecodeContactAnswer"]
    py = python_loads_times(answer)
    add(f"decode {py['records']:,}-contact answer ({os.path.getsize(answer) / 1e6:.1f} MB)",
        ms(seconds(b, "cpu_time")), f"Python {py['python']} xmlrpc.client.loads: {ms(py['cpu'])}",
        py["cpu"] / seconds(b, "cpu_time"), 10.0, wall_note(seconds(b), py["wall"]))

    if not args.no_sandbox:
        print("Running keepalive_bench against the sandbox ...", file=sys.stderr)
        key = "bench-key"
        sandbox = Sandbox(args.root, key)
        try:
            env = {"PELLWICK_BENCH_SANDBOX_PORT": str(sandbox.info["port"]),
                   "PELLWICK_BENCH_SANDBOX_CA": sandbox.info["ca"],
                   "PELLWICK_BENCH_SANDBOX_KEY": key}
            exe = os.path.join(bench_dir, "keepalive_bench")
            kept = run_benchmark(exe, env, "BM_CallKeptAlive", 3)["BM_CallKeptAlive"]
            kept_calls = sandbox.new_calls()
            fresh = run_benchmark(exe, env, "BM_CallNewConnection", 3)["BM_CallNewConnection"]
            fresh_calls = sandbox.new_calls()
        finally:
            sandbox.stop()
        add("DataService.load, kept-alive connection (wall clock)", ms(seconds(kept)),
            f"new connection per call: {ms(seconds(fresh))}", seconds(fresh) / seconds(kept),
            None, f"TLS connections: {kept_calls[1]} for {kept_calls[0]} calls kept alive "
                  f"(one per benchmark run), {fresh_calls[1]} for {fresh_calls[0]} calls "
                  f"with a new connection each")

    print("Best of several runs each. Figures and ratios on CPU time (user + system), which "
          "other load on the machine disturbs least; wall clock below each line.\n")
    headers = ("benchmark", "ours", "reference", "ratio", "target", "", "")
    widths = [max(len(str(r[i])) for r in rows + [headers]) for i in range(6)]
    line = lambda r: "  ".join(str(c).ljust(w) for c, w in zip(r[:6], widths)).rstrip()
    print(line(headers))
    print("  ".join("-" * w for w in widths))
    for r in rows:
        print(line(r))
        if r[6]:
            print(" " * (widths[0] + 2) + r[6])
    missed = [r[0] for r in rows if r[5] == "MISSED"]
    if missed:
        print("\nTargets missed: " + "; ".join(missed))
    if not args.no_sandbox:
        print("Running query_bench and Python against the sandbox ...", file=sys.stderr)
        print_query(query_figures(args, bench_dir))
        print("Running upload_bench, curl and Python against the sandbox ...", file=sys.stderr)
        print_upload(upload_figures(args, bench_dir, work))


if __name__ == "__main__":
    main()
