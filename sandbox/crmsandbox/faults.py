"""Fault injection: which misbehaviour the next calls get, and which calls it targets."""

import threading

FAULT_MODES = ("none", "delay", "http500", "malformed", "notxml", "close", "drop", "hang",
               "http429", "commit_then_500", "late", "fault")

# Modes that carry the call out before misbehaving; the others never run it.
CARRIED_OUT = {"delay", "close", "drop", "commit_then_500", "late"}

# XML-RPC methods whose first parameter after the key names a table.
TABLE_METHODS = {"DataService.add", "DataService.load", "DataService.update",
                 "DataService.delete", "DataService.findByField", "DataService.query"}


class Fault:
    __slots__ = ("mode", "delay_ms", "retry_after")

    def __init__(self, mode, delay_ms, retry_after):
        self.mode, self.delay_ms, self.retry_after = mode, delay_ms, retry_after


def _whole(name, value, minimum):
    if isinstance(value, bool) or not isinstance(value, (int, str)):
        raise ValueError(f"{name} must be a whole number, got {value!r}")
    number = int(value)
    if number < minimum:
        raise ValueError(f"{name} must be at least {minimum}, got {number}")
    return number


def _name(field, value):
    if value is None:
        return None
    if not isinstance(value, str) or not value.strip():
        raise ValueError(f"{field} must be a non-empty text or null, got {value!r}")
    return value.strip()


class FaultState:
    """The misbehaviour to apply to the next calls.

    count -1 applies it to every matching call until changed; count N to the next
    N matching calls, after which the sandbox behaves normally again. skip K lets
    K matching calls through first. method and table narrow what matches; calls
    that do not match neither count nor get the fault.
    """

    def __init__(self):
        self._lock = threading.Lock()
        self._clear()

    def _clear(self):
        self.mode, self.count, self.delay_ms = "none", 0, 0
        self.skip, self.method, self.table, self.retry_after = 0, None, None, None

    def set(self, mode, count=-1, delay_ms=0, skip=0, method=None, table=None, retry_after=None):
        if mode not in FAULT_MODES:
            raise ValueError(f"unknown fault mode {mode!r}; known: {', '.join(FAULT_MODES)}")
        count = _whole("count", count, -1)
        delay_ms = _whole("delay_ms", delay_ms, 0) if delay_ms is not None else 0
        skip = _whole("skip", skip, 0) if skip is not None else 0
        method, table = _name("method", method), _name("table", table)
        if retry_after is not None:
            if mode != "http429":
                raise ValueError("retry_after applies to the http429 mode only")
            retry_after = _whole("retry_after", retry_after, 0)
        if mode in ("delay", "late") and delay_ms == 0:
            delay_ms = 1000
        with self._lock:
            self._clear()
            if mode != "none" and count != 0:
                self.mode, self.count, self.delay_ms = mode, count, delay_ms
                self.skip, self.method, self.table = skip, method, table
                self.retry_after = retry_after

    def snapshot(self):
        """The state as the admin endpoint shows it; targeting keys only when set."""
        with self._lock:
            state = {"mode": self.mode, "count": self.count, "delay_ms": self.delay_ms}
            for key in ("skip", "method", "table", "retry_after"):
                value = getattr(self, key)
                if value:
                    state[key] = value
            return state

    def take(self, method, table=None):
        """The fault for a call of this method (and table) being answered now, or None."""
        with self._lock:
            if self.mode == "none":
                return None
            if self.method is not None and method != self.method:
                return None
            if self.table is not None and table != self.table:
                return None
            if self.skip > 0:
                self.skip -= 1
                return None
            taken = Fault(self.mode, self.delay_ms, self.retry_after)
            if self.count > 0:
                self.count -= 1
                if self.count == 0:
                    self._clear()
            return taken


def table_of(method, params):
    """The table a DataService call names, or None."""
    if method in TABLE_METHODS and len(params) > 1 and isinstance(params[1], str):
        return params[1]
    return None
