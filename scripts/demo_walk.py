#!/usr/bin/env python3
"""The headless demo's walk. Plays the user: saves, e-mails and picks a Ship To contact in
the host stand-in, moves the saved opportunity along from the tray menu's opportunities
window, and operates pellwick's windows as they open (pellwick_walk serves them on the
session bus: clicks, list picks, menu entries, keys, screenshots). Then prints what the
CRM sandbox now holds for the quote's contact, with the record pages' addresses.

    demo_walk.py --port N --ca FILE --key KEY --app NAME --shots DIR --report FILE
                 [--calls FILE] [--interface RESTv2|XMLRPC]
                 [--rounds save,opportunities,email,contact,lost]
"""
import argparse
import http.client
import json
import os
import ssl
import subprocess
import sys
import time
import xmlrpc.client

HOST = ("QuoteWerks.Application", "/HostStandIn", "com.pellwick.HostStandIn.Testing")
WALK = ("Varrow.Pellwick", "/Walk", "com.pellwick.Walk")


class WalkFailed(Exception):
    pass


def bus(target, method, *args):
    """Calls a method over the session bus; dbus-send's reply text."""
    dest, path, interface = target
    command = ["dbus-send", "--session", "--print-reply", "--reply-timeout=60000",
               f"--dest={dest}", path, f"{interface}.{method}", *args]
    done = subprocess.run(command, capture_output=True, text=True, timeout=90)
    if done.returncode != 0:
        raise WalkFailed(f"{method}: {done.stderr.strip()}")
    return done.stdout


def reply_string(reply):
    # One string value: dbus-send prints it raw between the first and the last quote.
    start = reply.index('string "') + len('string "')
    return reply[start:reply.rindex('"')]


def reply_strings(reply):
    return [line.strip()[len('string "'):-1] for line in reply.splitlines()
            if line.strip().startswith('string "')]


def s(text):
    return f"string:{text}"


def windows():
    return reply_strings(bus(WALK, "Windows"))


def describe(window):
    text = reply_string(bus(WALK, "Describe", s(window)))
    return json.loads(text) if text else {}


def control(window, name):
    return describe(window).get("controls", {}).get(name, {})


def act(method, *args):
    if "boolean true" not in bus(WALK, method, *map(s, args)):
        raise WalkFailed(f"{method}{args} could not be done")


def row(window, view, number):
    if "boolean true" not in bus(WALK, "Row", s(window), s(view), f"int32:{number}"):
        raise WalkFailed(f"no row {number} in {view}")


def wait(what, ready, seconds=30):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if ready():
            return
        time.sleep(0.1)
    raise WalkFailed(f"waited {seconds} s for {what}; open windows: {windows()}")


def wait_window(name, open_=True, seconds=30):
    wait(f"{name} to {'open' if open_ else 'close'}", lambda: (name in windows()) == open_, seconds)


def shot(window, folder, name):
    path = os.path.join(folder, name)
    act("Shot", window, path)
    return path


def show_save_quote(window):
    c = describe(window)["controls"]
    print(f"  {c['lblQuoteDocNo']['text']}")
    for combo in ("cboContact", "cboOpportunity", "cboActionSet"):
        print(f"  {combo}: {c[combo]['text']!r} of {c[combo]['entries']}")
    ticked = [name for name, item in c.items()
              if item["kind"] == "QCheckBox" and item["checked"] and item["visible"]]
    print(f"  ticked: {', '.join(ticked)}")


def save_round(shots):
    print("1. Save in the host: the Save Quote window opens; OK with the defaults.")
    bus(HOST, "Save")
    wait_window("frmSaveQuote")
    show_save_quote("frmSaveQuote")
    print(f"  screenshot {shot('frmSaveQuote', shots, 'frmSaveQuote-save.png')}")
    act("Click", "frmSaveQuote", "OK")
    wait_window("frmSaveQuote", open_=False, seconds=60)


def crm_client(args):
    """The sandbox's XML-RPC endpoint (Python resolves no *.localhost) and the API key."""
    context = ssl.create_default_context(cafile=args.ca)
    return (xmlrpc.client.ServerProxy(f"https://localhost:{args.port}/api/xmlrpc",
                                      context=context), args.key)


def opportunities_round(args):
    print("1b. The tray menu's Opportunities...: the window lists the quote's contact's "
          "opportunities; the one the save made is moved to the second stage.")
    act("Menu", "frmMain", "mnuFile", "mnuFileOpportunities")
    wait_window("frmOpportunities")
    c = describe("frmOpportunities")["controls"]
    print(f"  {c['lblQuoteDocNo']['text']}; contact {c['cboContact']['text']!r}; "
          f"{c['lblStatus']['text']}")
    rows = c["lstOpportunities"]["rows"]
    made = max(range(len(rows)), key=lambda i: int(rows[i][-1]))  # the newest: largest Id
    made_id = int(rows[made][-1])
    row("frmOpportunities", "lstOpportunities", made)
    wait("the row to be selected", lambda: control("frmOpportunities", "lstOpportunities")
         ["current"] == made)
    stages = c["cboStage"]["entries"]
    # A demo run again on its state finds the opportunity there already: back to the first.
    target = stages[1] if rows[made][1] != stages[1] else stages[0]
    act("Pick", "frmOpportunities", "cboStage", target)
    wait("the stage to be picked", lambda: control("frmOpportunities", "cboStage")["text"] == target)
    act("Click", "frmOpportunities", "cmdMove")

    def moved():
        listed = control("frmOpportunities", "lstOpportunities")["rows"]
        return any(cells[-1] == str(made_id) and cells[1] == target for cells in listed)
    wait("the opportunity to be moved", moved)
    for cells in control("frmOpportunities", "lstOpportunities")["rows"]:
        print("    " + " | ".join(cells))
    print(f"  screenshot {shot('frmOpportunities', args.shots, 'frmOpportunities.png')}")
    act("Key", "frmOpportunities", "Escape")
    wait_window("frmOpportunities", open_=False)
    crm, key = crm_client(args)
    stage_id = crm.DataService.load(key, "Lead", made_id, ["StageID"]).get("StageID")
    stages = crm.DataService.query(key, "Stage", 1, 0, {"Id": stage_id}, ["StageName"])
    print(f"  the CRM holds opportunity {made_id} in stage {stage_id} "
          f"{stages[0]['StageName'] if stages else '?'!r}")


def email_round(shots):
    print("2. E-mail in the host: once its PDF is written the window opens in the e-mail "
          "layout; the opportunity made by the save is chosen, then OK.")
    bus(HOST, "Email")
    wait_window("frmSaveQuote", seconds=30)
    entries = control("frmSaveQuote", "cboOpportunity")["entries"]
    made = next(e for e in entries if e.endswith(")") and not e.startswith("(New"))
    act("Pick", "frmSaveQuote", "cboOpportunity", made)
    wait("the opportunity to be chosen",
         lambda: control("frmSaveQuote", "cboOpportunity")["text"] == made)
    show_save_quote("frmSaveQuote")
    print(f"  screenshot {shot('frmSaveQuote', shots, 'frmSaveQuote-email.png')}")
    act("Click", "frmSaveQuote", "OK")
    wait_window("frmSaveQuote", open_=False, seconds=60)


def set_fault(args, fault):
    """Tells the sandbox to misbehave (its admin endpoint, beside the CRM's own)."""
    context = ssl.create_default_context(cafile=args.ca)
    connection = http.client.HTTPSConnection("localhost", int(args.port), context=context)
    connection.request("POST", "/admin/fault", json.dumps(fault),
                       {"Content-Type": "application/json"})
    answer = connection.getresponse()
    answer.read()
    connection.close()
    if answer.status != 200:
        raise WalkFailed(f"the sandbox refused the fault {fault}: HTTP {answer.status}")


def lost_answer_round(args):
    print("4. Save again while the CRM loses an answer: it stores the quote file, but the "
          "connection drops before it says so. The window stays open and lists the steps; "
          "OK again looks the file up, does the rest and never repeats a step.")
    method = "POST /files/{id}" if args.interface == "RESTv2" else "FileService.replaceFile"
    set_fault(args, {"mode": "drop", "count": 1, "method": method})
    bus(HOST, "Save")
    wait_window("frmSaveQuote")
    act("Click", "frmSaveQuote", "OK")

    def stopped():
        c = describe("frmSaveQuote").get("controls", {})
        rows = c.get("lstSteps", {}).get("rows", [])
        return "QMessageBox" not in windows() and c.get("cmdOK", {}).get("enabled") and \
            any("uncertain" in cells[0] for cells in rows)
    wait("the commit to stop at the lost answer", stopped, seconds=60)
    for cells in control("frmSaveQuote", "lstSteps")["rows"]:
        print("    " + cells[0])
    print(f"  screenshot {shot('frmSaveQuote', args.shots, 'frmSaveQuote-steps.png')}")
    act("Click", "frmSaveQuote", "OK")
    wait_window("frmSaveQuote", open_=False, seconds=60)


def searched(found_rows=False):
    """Waits for the contact search window's search to end and shows its rows."""
    def done():
        c = control("frmContacts", "lblResults")["text"]
        rows = control("frmContacts", "lstContacts")["rows"]
        return c not in ("", "Searching...", "Not Searched") and (rows or not found_rows)
    wait("the search", done)
    c = describe("frmContacts")["controls"]
    print(f"  search {c['txtSearch']['text']!r}: {c['lblResults']['text']}")
    for cells in c["lstContacts"]["rows"]:
        print("    " + " | ".join(cells))


def contact_round(shots):
    print("3. Select Ship To contact in the host: the contact search window searches; "
          "the first row is picked and sent to Ship To.")
    bus(HOST, "SelectContact", "int16:1", "int16:0")
    wait_window("frmContacts")
    searched()
    if not control("frmContacts", "lstContacts")["rows"]:
        print("  nobody has that address in the CRM: the user searches the company instead")
        act("SetText", "frmContacts", "txtSearch", "Harbour Lane")
        wait("the typing", lambda: control("frmContacts", "txtSearch")["text"] == "Harbour Lane")
        act("Key", "frmContacts", "Return")
        searched(found_rows=True)
    row("frmContacts", "lstContacts", 0)
    wait("the row to be selected", lambda: control("frmContacts", "lstContacts")["current"] == 0)
    print(f"  screenshot {shot('frmContacts', shots, 'frmContacts.png')}")
    act("Click", "frmContacts", "S&hip To")
    wait_window("frmContacts", open_=False, seconds=60)
    fields = reply_strings(bus(HOST, "FormField", s("ShipToContact")))
    print(f"  the host's Ship To contact is now {fields[0] if fields else '?'!r}")


def crm_report(args, contact_id):
    crm, key = crm_client(args)
    site = f"https://{args.app}.localhost:{args.port}"

    def query(table, data, fields):
        return crm.DataService.query(key, table, 1000, 0, data, fields)

    contact = crm.DataService.load(key, "Contact", contact_id, ["FirstName", "LastName", "Email"])
    print(f"\nThe CRM now holds for {contact.get('FirstName')} {contact.get('LastName')} "
          f"<{contact.get('Email')}>:")
    print(f"  contact page  {site}/Contact/manageContact.jsp?view=edit&ID={contact_id}")
    for lead in query("Lead", {"ContactID": contact_id},
                      ["Id", "OpportunityTitle", "ProjectedRevenueLow", "ProjectedRevenueHigh",
                       "OpportunityNotes"]):
        print(f"  opportunity {lead['Id']} {lead.get('OpportunityTitle')!r}: projected revenue "
              f"{lead.get('ProjectedRevenueLow')} to {lead.get('ProjectedRevenueHigh')}")
        print(f"    page  {site}/Opportunity/manageOpportunity.jsp?view=edit&ID={lead['Id']}")
        for line in str(lead.get("OpportunityNotes", "")).splitlines():
            print(f"    | {line}")
    for note in query("ContactAction", {"ContactId": contact_id},
                      ["Id", "ActionDescription", "CreationNotes"]):
        print(f"  note {note['Id']}: {note.get('ActionDescription')!r} "
              f"({note.get('CreationNotes')!r})")
    for file in query("FileBox", {"ContactId": contact_id}, ["Id", "FileName", "FileSize"]):
        print(f"  file {file['Id']}: {file.get('FileName')} ({file.get('FileSize')} bytes)  "
              f"{site}/Download?Id={file['Id']}")


def calls_since(log, start):
    """The CRM calls logged after line `start` of the sandbox's call log."""
    if not log or not os.path.exists(log):
        return []
    with open(log, encoding="utf-8") as f:
        return [json.loads(line) for line in f.readlines()[start:] if line.strip()]


def main():
    parser = argparse.ArgumentParser()
    for name in ("port", "ca", "key", "app", "shots", "report"):
        parser.add_argument(f"--{name}", required=True)
    parser.add_argument("--contact", type=int, default=51)
    parser.add_argument("--rounds", default="save,opportunities,email,contact,lost")
    parser.add_argument("--interface", default="RESTv2")
    parser.add_argument("--calls", help="the sandbox's call log, to count each round's calls")
    args = parser.parse_args()
    os.makedirs(args.shots, exist_ok=True)
    try:
        rounds = {"save": save_round, "email": email_round, "contact": contact_round,
                  "opportunities": lambda _: opportunities_round(args),
                  "lost": lambda _: lost_answer_round(args)}
        for name in args.rounds.split(","):
            start = len(calls_since(args.calls, 0))
            rounds[name](args.shots)
            # pellwick's own calls: its endpoint names the application, the walk's does not.
            calls = [call for call in calls_since(args.calls, start)
                     if call.get("host", "").startswith(f"{args.app}.")]
            if calls:
                connections = {call["connection"] for call in calls}
                print(f"  {len(calls)} CRM calls on {len(connections)} TLS connection"
                      f"{'s' if len(connections) != 1 else ''}")
    except (WalkFailed, StopIteration, KeyError, subprocess.TimeoutExpired) as failure:
        print(f"The walk stopped: {failure!r}")
        return 1
    finally:
        if os.path.exists(args.report):
            boxes = [line for line in open(args.report, encoding="utf-8")
                     if line.startswith(("box:", "opened:"))]
            print("\nMessage boxes and pages pellwick opened on the way:")
            print("".join(f"  {line}" for line in boxes).rstrip() or "  (none)")
    crm_report(args, args.contact)
    return 0


if __name__ == "__main__":
    sys.exit(main())
