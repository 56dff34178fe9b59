"""List operations: the filter language, order_by and cursor paging.

A filter is clauses `field<op>value` joined by `;`, all of which must match. Text
values compare ignoring case; a trailing `*` makes a prefix match where the field
allows it. Unknown fields, operators a field does not take, misplaced `*` and
values of the wrong kind are refused with 400, as the CRM does.
"""

import base64
import binascii
import hashlib
import json
import re

from .core import bad_request, parse_iso, rest_id

EQ_ONLY = ("==",)
COMPARE = ("==", ">", "<", ">=", "<=")
ALL_OPS = ("==", "!=", ">", "<", ">=", "<=")

_CLAUSE = re.compile(r"^\s*([A-Za-z_][A-Za-z0-9_]*)\s*(==|!=|>=|<=|>|<|=)(.*)$", re.DOTALL)


class FilterField:
    """One filterable field. kind: "text", "id", "ids" (a comma list), "number", "bool",
    "time".

    get(record) gives the record's value, or a list of values any of which may match.
    For text, `wildcard` allows a trailing `*` and `contains` makes a bare value
    match anywhere in the text. eq_means turns `==` into a bound (since/until times).
    """

    def __init__(self, kind, get, ops=EQ_ONLY, wildcard=False, contains=False, eq_means=None):
        self.kind, self.get, self.ops = kind, get, ops
        self.wildcard, self.contains, self.eq_means = wildcard, contains, eq_means


class Clause:
    def __init__(self, name, field, op, value):
        self.name, self.field, self.op = name, field, op
        self.wildcard_used = value.endswith("*")
        self.value = self._convert(value)

    def _convert(self, text):
        name, field = self.name, self.field
        if text == "":
            raise bad_request(f"Filter {name} has no value")
        if "*" in text.rstrip("*") or text.startswith("*"):
            raise bad_request(f"Filter {name}: a wildcard may only end a value")
        if text.endswith("*"):
            if field.kind != "text" or not field.wildcard or self.op != "==":
                raise bad_request(f"Filter {name} does not take a wildcard")
            if text.endswith("**"):
                raise bad_request(f"Filter {name}: a wildcard may only end a value")
            return text[:-1].casefold()
        if field.kind == "text":
            return text.casefold()
        if field.kind == "id":
            return rest_id(text, f"Filter {name}")
        if field.kind == "ids":
            return {rest_id(part.strip(), f"Filter {name}") for part in text.split(",")}
        if field.kind == "number":
            try:
                return float(text)
            except ValueError:
                raise bad_request(f"Filter {name} must be a number, got {text!r}") from None
        if field.kind == "bool":
            if text.lower() not in ("true", "false"):
                raise bad_request(f"Filter {name} must be true or false, got {text!r}")
            return text.lower() == "true"
        if field.kind == "time":
            moment = parse_iso(text)
            if moment is None:
                raise bad_request(f"Filter {name} must be an ISO-8601 time with a zone, "
                                  f"got {text!r}")
            return moment
        raise AssertionError(field.kind)

    def matches(self, record):
        got = self.field.get(record)
        values = got if isinstance(got, list) else [got]
        hit = any(self._one(v) for v in values if v is not None)
        return not hit if self.op == "!=" else hit

    def _one(self, value):
        kind, want = self.field.kind, self.value
        if kind == "text":
            value = str(value).casefold()
            if self.wildcard_used:
                return value.startswith(want)
            return want in value if self.field.contains else value == want
        if kind == "ids":
            return value in want
        if kind == "bool":
            return bool(value) == want
        op = self.field.eq_means if self.op == "==" and self.field.eq_means else self.op
        return _compare(value, op, want)


def _compare(value, op, want):
    if op in ("==", "!="):
        return value == want
    return {">": value > want, "<": value < want, ">=": value >= want, "<=": value <= want}[op]


def parse_filter(text, fields):
    """The clauses of a filter parameter (None or empty: no clauses)."""
    clauses = []
    for part in (text or "").split(";"):
        if not part.strip():
            continue
        match = _CLAUSE.match(part)
        if not match:
            raise bad_request(f"Filter clause {part!r} has no operator")
        name, op, value = match.groups()
        field = fields.get(name)
        if field is None:
            known = ", ".join(sorted(fields)) or "none"
            raise bad_request(f"Unknown filter field {name!r}; allowed: {known}")
        if op not in field.ops:
            raise bad_request(f"Filter {name} does not take the operator {op!r}")
        clauses.append(Clause(name, field, op, value))
    return clauses


def page_size(request, maximum=1000, minimum=0, default=None):
    text = request.one("page_size")
    if text is None:
        return default or maximum
    try:
        size = int(text)
    except ValueError:
        raise bad_request(f"page_size must be a number, got {text!r}") from None
    if not minimum <= size <= maximum:
        raise bad_request(f"page_size must be between {minimum} and {maximum}, got {size}")
    return size or default or maximum


def order_key(request, orderable, default):
    """(key function, descending) from order_by `field [asc|desc]`."""
    text = request.one("order_by")
    if text is None:
        return orderable[default], False
    parts = text.split()
    if not parts or len(parts) > 2 or parts[0] not in orderable or \
            (len(parts) == 2 and parts[1].lower() not in ("asc", "desc")):
        raise bad_request(f"order_by {text!r} is not one of: {', '.join(orderable)} "
                          f"(then asc or desc)")
    return orderable[parts[0]], len(parts) == 2 and parts[1].lower() == "desc"


def _signature(request):
    seen = [request.path, request.one("filter") or "", request.one("order_by") or ""]
    return hashlib.sha256("\n".join(seen).encode()).hexdigest()[:12]


def _offset(request):
    token = request.one("page_token")
    if not token:
        return 0
    try:
        data = json.loads(base64.urlsafe_b64decode(token.encode() + b"=" * (-len(token) % 4)))
        offset, signature = int(data["o"]), data["s"]
    except (ValueError, KeyError, TypeError, binascii.Error):
        raise bad_request("page_token is not a token this list gave") from None
    if signature != _signature(request) or offset < 0:
        raise bad_request("page_token belongs to another list or filter")
    return offset


def _token(request, offset):
    data = json.dumps({"o": offset, "s": _signature(request)}, separators=(",", ":"))
    return base64.urlsafe_b64encode(data.encode()).decode().rstrip("=")


def list_page(request, records, fields, orderable, default_order, plural, to_json,
              maximum=1000, minimum=0):
    """One page of the records that pass the request's filter, as the list answer."""
    clauses = parse_filter(request.one("filter"), fields)
    key, descending = order_key(request, orderable, default_order)
    size = page_size(request, maximum, minimum)
    offset = _offset(request)
    kept = [r for r in records if all(c.matches(r) for c in clauses)]
    kept.sort(key=lambda r: _sortable(key(r)), reverse=descending)
    page = kept[offset:offset + size]
    more = offset + size < len(kept)
    return {plural: [to_json(r) for r in page],
            "next_page_token": _token(request, offset + size) if more else ""}


def _sortable(value):
    # None sorts first; text ignores case, as the rest of the API does.
    if value is None:
        return (0, "")
    if isinstance(value, str):
        return (1, value.casefold())
    return (1, value)
