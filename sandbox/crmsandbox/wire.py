"""XML-RPC wire handling on top of CPython's xmlrpc.client.

Requests are parsed by CPython's own Unmarshaller; a subclass records the
XML-RPC type of every value as it stood on the wire, for the call log.
Answers are written by a Marshaller subclass in the forms the hosted CRM
uses: strings as a bare <value>, integers as <i4>, dates without a zone.
"""

import datetime
import math
import xmlrpc.client
from xmlrpc.client import Binary, DateTime, Fault, Marshaller, Unmarshaller, escape

MAXINT = 2**31 - 1
MININT = -(2**31)

_SCALAR_TAGS = {
    "nil", "boolean", "i1", "i2", "i4", "i8", "int", "biginteger",
    "double", "float", "bigdecimal", "string", "base64", "dateTime.iso8601",
}


def _local(tag):
    return tag.split(":")[-1]


class TypedUnmarshaller(Unmarshaller):
    """CPython's Unmarshaller that also keeps a typed copy of every value.

    The typed copy of a value is {"type": wire type, "value": JSON value}; a
    struct's value maps member names to typed values, an array's value is a
    list of typed values. Dates and base64 keep their wire text.
    """

    def __init__(self):
        super().__init__(use_datetime=False, use_builtin_types=False)
        self._typed = []
        self._typed_marks = []

    def typed_params(self):
        return list(self._typed)

    def start(self, tag, attrs):
        if _local(tag) in ("array", "struct"):
            self._typed_marks.append(len(self._typed))
        super().start(tag, attrs)

    def end(self, tag):
        local = _local(tag)
        bare = local == "value" and self._value
        text = "".join(self._data)
        super().end(tag)
        if bare:
            self._typed.append({"type": "string", "value": self._stack[-1]})
        elif local in _SCALAR_TAGS:
            self._typed.append({"type": local, "value": _json_scalar(local, self._stack[-1], text)})
        elif local == "name":
            self._typed.append(self._stack[-1])
        elif local == "struct":
            mark = self._typed_marks.pop()
            items = self._typed[mark:]
            members = {items[i]: items[i + 1] for i in range(0, len(items) - 1, 2)}
            self._typed[mark:] = [{"type": "struct", "value": members}]
        elif local == "array":
            mark = self._typed_marks.pop()
            self._typed[mark:] = [{"type": "array", "value": self._typed[mark:]}]


def _json_scalar(tag, value, text):
    if tag in ("base64", "dateTime.iso8601"):
        return text.strip()
    if tag == "bigdecimal":
        return str(value)
    if isinstance(value, float) and not math.isfinite(value):
        return text.strip()  # JSON has no NaN or infinity; keep what was sent
    return value


class RequestError(Exception):
    """The request body is not a well-formed XML-RPC call."""


def parse_request(body):
    """Parse a methodCall: (method name, params tuple, typed params list)."""
    target = TypedUnmarshaller()
    parser = xmlrpc.client.ExpatParser(target)
    try:
        parser.feed(body)
        parser.close()
        params = target.close()
    except Exception as exc:  # expat, ResponseError, value conversions
        raise RequestError(f"{type(exc).__name__}: {exc}") from exc
    method = target.getmethodname()
    if not method:
        raise RequestError("no methodName in the request")
    return method, params, target.typed_params()


def _dump_bare_string(self, value, write):
    write("<value>")
    write(escape(value))
    write("</value>\n")


def _dump_i4(self, value, write):
    if value > MAXINT or value < MININT:
        raise OverflowError("int exceeds XML-RPC limits")
    write("<value><i4>")
    write(str(int(value)))
    write("</i4></value>\n")


def format_date(value):
    """20090703T14:05:09: the CRM's date form, no zone, no separators in the date."""
    return "%04d%02d%02dT%02d:%02d:%02d" % (
        value.year, value.month, value.day, value.hour, value.minute, value.second)


def _dump_datetime(self, value, write):
    write("<value><dateTime.iso8601>")
    write(format_date(value))
    write("</dateTime.iso8601></value>\n")


class CrmMarshaller(Marshaller):
    dispatch = dict(Marshaller.dispatch)
    dispatch[str] = _dump_bare_string
    dispatch[int] = _dump_i4
    dispatch[datetime.datetime] = _dump_datetime


_HEADER = "<?xml version='1.0' encoding='UTF-8'?>\n<methodResponse>\n"
_FOOTER = "</methodResponse>\n"


def dump_response(result):
    """A methodResponse with one param, as UTF-8 bytes."""
    body = CrmMarshaller("utf-8").dumps((result,))
    return (_HEADER + body + _FOOTER).encode("utf-8")


def dump_fault(code, text):
    body = CrmMarshaller("utf-8").dumps(Fault(code, text))
    return (_HEADER + body + _FOOTER).encode("utf-8")


__all__ = [
    "Binary", "DateTime", "Fault", "RequestError", "parse_request",
    "dump_response", "dump_fault", "format_date", "MAXINT", "MININT",
]
