"""multipart/form-data bodies, read with the standard library's MIME parser."""

import email.parser
import email.policy

from .core import RestError, bad_request


class Part:
    def __init__(self, name, filename, content_type, data):
        self.name, self.filename, self.content_type, self.data = name, filename, content_type, data

    def text(self):
        try:
            return self.data.decode("utf-8")
        except UnicodeDecodeError:
            raise bad_request(f"Form part {self.name} is not UTF-8 text") from None

    def summary(self):
        """What the call log keeps of a part: never a file's bytes."""
        if self.filename is not None:
            return {"name": self.name, "filename": self.filename, "size": len(self.data)}
        return {"name": self.name, "value": self.data[:200].decode("utf-8", "replace")}


def parse_form(request):
    """The parts of a multipart/form-data request body, by name (the last one wins)."""
    header = request.headers.get("Content-Type") or ""
    if request.content_type != "multipart/form-data":
        raise RestError(415, f"Expected multipart/form-data, got {request.content_type or 'none'}")
    message = email.parser.BytesParser(policy=email.policy.HTTP).parsebytes(
        b"Content-Type: " + header.encode("latin-1") + b"\r\n\r\n" + request.body)
    if not message.is_multipart() or message.defects:
        raise bad_request("The multipart body cannot be read")
    parts = {}
    for item in message.iter_parts():
        name = item.get_param("name", header="content-disposition")
        if not name:
            raise bad_request("A form part has no name")
        data = item.get_payload(decode=True) or b""
        parts[name] = Part(name, item.get_filename(), item.get_content_type(), data)
    return parts


def summarize(request):
    """The parts of a form body for the call log, or None if it cannot be read."""
    try:
        return [part.summary() for part in parse_form(request).values()]
    except RestError:
        return None
