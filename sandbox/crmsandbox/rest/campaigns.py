"""/campaigns with their sequences (and the same campaigns as /automations), and
tags (/tags/{id}/contacts:applyTags): the store's campaigns, the sequences kept
beside them, and its contact groups."""

from ..store import int_from, now_key
from .core import (RestError, bad_request, drop_empty, json_answer, no_content, not_found,
                   path_id)
from .listing import ALL_OPS, COMPARE, FilterField, list_page, parse_filter


def _published(row):
    return row["Status"] == "Active"


def _sequences(api, campaign_id):
    return api.store.rows("campaign_sequences", "CampaignId = ?", (campaign_id,))


def _members(api, sequence_ids):
    if not sequence_ids:
        return 0
    marks = ", ".join("?" for _ in sequence_ids)
    rows = api.store.execute(f"SELECT COUNT(DISTINCT ContactId) FROM sequence_contacts "
                             f"WHERE SequenceId IN ({marks})", sequence_ids)
    return rows[0][0]


def sequence_json(api, row):
    return {"id": str(row["Id"]), "name": row["Name"],
            "paths": [{"id": str(row["Id"]), "items": []}],
            "contact_count": _members(api, [row["Id"]])}


def campaign_json(api, row, with_sequences=False):
    sequences = _sequences(api, row["Id"])
    found = drop_empty({"id": str(row["Id"]), "name": row["Name"],
                        "published_status": _published(row), "locked": False,
                        "time_zone": "America/New_York",
                        "active_contact_count": _members(api, [s["Id"] for s in sequences]),
                        "completed_contact_count": 0})
    if with_sequences:
        found["sequences"] = [{"id": str(s["Id"]), "name": s["Name"]} for s in sequences]
    return found


FILTERS = {"name": FilterField("text", lambda r: r["Name"], contains=True),
           "id": FilterField("id", lambda r: r["Id"], ops=COMPARE)}
ORDER = {"id": lambda r: r["Id"], "name": lambda r: r["Name"]}


def _campaign(api, campaign_id):
    row = api.store.row("Campaign", path_id(campaign_id, "Campaign"))
    if row is None:
        raise not_found("Campaign", campaign_id)
    return row


def list_campaigns(api, request):
    return json_answer(200, list_page(request, api.store.rows("Campaign"), FILTERS, ORDER, "id",
                                      "campaigns", lambda r: campaign_json(api, r)))


def get_campaign(api, request, campaign_id):
    return json_answer(200, campaign_json(api, _campaign(api, campaign_id), with_sequences=True))


def list_sequences(api, request, campaign_id):
    campaign = _campaign(api, campaign_id)
    # Only a published campaign has published sequences.
    found = _sequences(api, campaign["Id"]) if _published(campaign) else []
    return json_answer(200, {"sequences": [sequence_json(api, s) for s in found]})


def automation_json(row):
    return {"id": str(row["Id"]), "name": row["Name"],
            "status": "PUBLISHED" if _published(row) else "DRAFT"}


AUTOMATION_FILTERS = {
    "name": FilterField("text", lambda r: r["Name"], wildcard=True, contains=True),
    "id": FilterField("id", lambda r: r["Id"], ops=ALL_OPS),
    "status": FilterField("text", lambda r: "PUBLISHED" if _published(r) else "DRAFT"),
}


def list_automations(api, request):
    rows = api.store.rows("Campaign")
    clauses = parse_filter(request.one("filter"), AUTOMATION_FILTERS)
    answer = list_page(request, rows, AUTOMATION_FILTERS, ORDER, "id", "automations",
                       automation_json, maximum=25)
    answer["automation_count"] = sum(all(c.matches(r) for c in clauses) for r in rows)
    return json_answer(200, answer)


def _contact_ids(request):
    body = request.json()
    ids = body.get("contact_ids")
    if not isinstance(ids, list) or not ids:
        raise bad_request("contact_ids must be a non-empty list of contact ids")
    if not all(isinstance(i, (str, int)) and not isinstance(i, bool) for i in ids):
        raise bad_request("contact_ids must hold strings")
    return [str(i) for i in ids]


def _sequence(api, campaign_id, sequence_id):
    campaign = _campaign(api, campaign_id)
    row = api.store.row("campaign_sequences", path_id(sequence_id, "Sequence"))
    if row is None or row["CampaignId"] != campaign["Id"]:
        raise not_found("Sequence", sequence_id)
    return campaign, row


def _contact(api, text):
    contact_id = int_from(text)
    if contact_id is None or not api.store.exists("Contact", contact_id):
        return None
    return contact_id


def add_to_sequence(api, request, campaign_id, sequence_id):
    ids = _contact_ids(request)
    results = {}
    with api.store.lock:
        campaign, sequence = _sequence(api, campaign_id, sequence_id)
        for text in ids:
            contact_id = _contact(api, text)
            if contact_id is None:
                results[text] = "CONTACT_DOES_NOT_EXIST"
            elif not _published(campaign):
                results[text] = "FAILED"
            elif api.store.execute("SELECT 1 FROM sequence_contacts WHERE SequenceId = ? "
                                   "AND ContactId = ?", (sequence["Id"], contact_id)):
                results[text] = "ALREADY_IN_SEQUENCE"
            else:
                api.store.execute("INSERT INTO sequence_contacts VALUES (?, ?, ?)",
                                  (sequence["Id"], contact_id, now_key()))
                results[text] = "SUCCESS"
    return json_answer(200, {"add_to_sequence_results": results})


def remove_from_sequence(api, request, campaign_id, sequence_id):
    ids = _contact_ids(request)
    results = {}
    with api.store.lock:
        _, sequence = _sequence(api, campaign_id, sequence_id)
        for text in ids:
            contact_id = _contact(api, text)
            if contact_id is None:
                results[text] = "CONTACT_DOES_NOT_EXIST"
                continue
            api.store.execute("DELETE FROM sequence_contacts WHERE SequenceId = ? "
                              "AND ContactId = ?", (sequence["Id"], contact_id))
            results[text] = "SUCCESS"
    return json_answer(200, {"remove_from_sequence_results": results})


def _tag(api, tag_id):
    tag = path_id(tag_id, "Tag")
    if not api.store.exists("ContactGroup", tag):
        raise not_found("Tag", tag_id)
    return tag


def apply_tags(api, request, tag_id):
    ids = _contact_ids(request)
    results = {}
    with api.store.lock:
        tag = _tag(api, tag_id)
        for text in ids:
            contact_id = _contact(api, text)
            if contact_id is None:
                results[text] = "CONTACT_NOT_FOUND"
                continue
            had = api.store.execute('SELECT 1 FROM "ContactGroupAssign" WHERE ContactId = ? '
                                    "AND GroupId = ?", (contact_id, tag))
            api.crm.contact_add_to_group(contact_id, tag)
            results[text] = "DUPLICATE" if had else "SUCCESS"
    return json_answer(200, {"results": results})


def remove_tags(api, request, tag_id):
    ids = _contact_ids(request)
    with api.store.lock:
        tag = _tag(api, tag_id)
        unknown = [text for text in ids if _contact(api, text) is None]
        if unknown:
            raise RestError(400, f"Contacts do not exist: {', '.join(unknown)}", "tags")
        for text in ids:
            api.crm.contact_remove_from_group(_contact(api, text), tag)
    return no_content()


ROUTES = [
    ("GET", "/campaigns", list_campaigns),
    ("GET", "/campaigns/{id}", get_campaign),
    ("GET", "/campaigns/{id}/sequences", list_sequences),
    ("GET", "/automations", list_automations),
    ("POST", "/campaigns/{id}/sequences/{id}:addContacts", add_to_sequence),
    ("POST", "/campaigns/{id}/sequences/{id}:removeContacts", remove_from_sequence),
    ("POST", "/tags/{id}/contacts:applyTags", apply_tags),
    ("POST", "/tags/{id}/contacts:removeTags", remove_tags),
]
