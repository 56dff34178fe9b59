#!/usr/bin/env python3
"""Writes the demo's settings: pellwick's settings file pre-configured for the CRM
sandbox, or the host stand-in's site.ini with pellwick listed as an add-on.
Existing values other than the ones written here are kept."""
import argparse
import configparser
import os


def reversed_hex(text: str) -> str:
    # The stored form of the two connection values: hex of each byte, then reversed.
    return "".join(f"{b:02X}" for b in text.encode("utf-8"))[::-1]


def write_ini(path: str, section: str, values: dict, private: bool = False) -> None:
    ini = configparser.ConfigParser(interpolation=None)
    ini.optionxform = str  # keep the names' case
    if os.path.exists(path):
        ini.read(path, encoding="utf-8")
    if not ini.has_section(section):
        ini.add_section(section)
    for key, value in values.items():
        ini.set(section, key, value)
    os.makedirs(os.path.dirname(path), mode=0o700 if private else 0o777, exist_ok=True)
    tmp = path + ".tmp"
    # The settings hold the API key: private to the user from the first byte, as
    # pellwick keeps them.
    fd = os.open(tmp, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o600 if private else 0o644)
    with open(fd, "w", encoding="utf-8") as f:
        ini.write(f, space_around_delimiters=False)
    os.replace(tmp, path)


def main() -> None:
    p = argparse.ArgumentParser()
    p.add_argument("settings", nargs="?")
    p.add_argument("--app"), p.add_argument("--key"), p.add_argument("--domain")
    p.add_argument("--port"), p.add_argument("--ca")
    p.add_argument("--interface", choices=["RESTv2", "XMLRPC"], default="RESTv2")
    p.add_argument("--rest-url", help="the REST v2 base address (default: the CRM's own)")
    p.add_argument("--site-ini"), p.add_argument("--addon")
    p.add_argument("--debug", action="store_true", help="turn on the debug log")
    a = p.parse_args()
    if a.site_ini:
        write_ini(a.site_ini, "addons", {"autorun1": a.addon})
        return
    write_ini(a.settings, "General", {
        "InfusionsoftAppName": reversed_hex(a.app),
        "InfusionsoftAPIKey": reversed_hex(a.key),
        "InfusionsoftServiceDomain": a.domain,
        "InfusionsoftServicePort": a.port,
        "InfusionsoftCABundle": a.ca,
        "InfusionsoftInterface": a.interface,
        "InfusionsoftRestBaseUrl": a.rest_url or "",
        "DebugMode": "1" if a.debug else "0",
    }, private=True)


if __name__ == "__main__":
    main()
