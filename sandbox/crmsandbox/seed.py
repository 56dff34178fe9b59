"""Demo data and bulk records for paging tests."""

import datetime
import hashlib

from .store import date_key

# First name, last name, company, e-mail, city, state, phone.
DEMO_CONTACTS = [
    ("Alice", "Morgan", "Brightwater Plumbing", "alice.morgan@brightwater.example", "Portland", "OR", "503-555-0101"),
    ("Ben", "Carter", "Carter & Sons Roofing", "ben@cartersons.example", "Boise", "ID", "208-555-0102"),
    ("Chloe", "Nguyen", "Lumen Dental Group", "chloe.nguyen@lumendental.example", "Seattle", "WA", "206-555-0103"),
    ("David", "Okafor", "Okafor Logistics", "david@okaforlogistics.example", "Houston", "TX", "713-555-0104"),
    ("Emma", "Schulz", "Northwind Traders", "emma.schulz@northwind.example", "Chicago", "IL", "312-555-0105"),
    ("Frank", "Rossi", "Rossi Fine Foods", "frank@rossifoods.example", "Newark", "NJ", "973-555-0106"),
    ("Grace", "Kim", "Harbor View Clinic", "grace.kim@harborview.example", "San Diego", "CA", "619-555-0107"),
    ("Henry", "Walsh", "Walsh Engineering", "henry.walsh@walsheng.example", "Denver", "CO", "303-555-0108"),
    ("Isabel", "Ortiz", "Sunrise Realty", "isabel@sunriserealty.example", "Phoenix", "AZ", "602-555-0109"),
    ("Jack", "Thompson", "Thompson IT Services", "jack@thompsonit.example", "Atlanta", "GA", "404-555-0110"),
    ("Karen", "Lee", "Maple Leaf Bakery", "karen.lee@mapleleaf.example", "Burlington", "VT", "802-555-0111"),
    ("Liam", "Patel", "Patel Pharmacy", "liam@patelpharmacy.example", "Edison", "NJ", "732-555-0112"),
    ("Mia", "Fischer", "Fischer Architects", "mia.fischer@fischerarch.example", "Minneapolis", "MN", "612-555-0113"),
    ("Noah", "Brooks", "Brooks Auto Repair", "noah@brooksauto.example", "Detroit", "MI", "313-555-0114"),
    ("Olivia", "Martins", "Blue Harbor Marina", "olivia@blueharbor.example", "Tampa", "FL", "813-555-0115"),
    ("Paul", "Dubois", "Dubois Wine Imports", "paul.dubois@duboiswine.example", "New Orleans", "LA", "504-555-0116"),
    ("Quinn", "Harper", "Harper Legal LLP", "quinn@harperlegal.example", "Boston", "MA", "617-555-0117"),
    ("Rachel", "Green", "Greenleaf Landscaping", "rachel@greenleaf.example", "Austin", "TX", "512-555-0118"),
    ("Samuel", "Adeyemi", "Adeyemi Consulting", "sam@adeyemi.example", "Charlotte", "NC", "704-555-0119"),
    ("Tara", "O'Neill", "O'Neill Pub Group", "tara@oneillpubs.example", "Milwaukee", "WI", "414-555-0120"),
    ("Umar", "Haddad", "Cedar Point Dental", "umar@cedarpoint.example", "Dearborn", "MI", "313-555-0121"),
    ("Valerie", "Chen", "Chen & Partners CPA", "valerie@chencpa.example", "San Jose", "CA", "408-555-0122"),
    ("William", "Novak", "Novak Construction", "will@novakbuild.example", "Omaha", "NE", "402-555-0123"),
    ("Xena", "Park", "Park Avenue Salon", "xena@parkavesalon.example", "New York", "NY", "212-555-0124"),
    ("Yusuf", "Demir", "Demir Textiles", "yusuf@demirtextiles.example", "Paterson", "NJ", "973-555-0125"),
    ("Zoe", "Lambert", "Lambert Veterinary", "zoe@lambertvet.example", "Columbus", "OH", "614-555-0126"),
    ("Aaron", "Fitzgerald", "Fitzgerald Insurance", "aaron@fitzins.example", "Hartford", "CT", "860-555-0127"),
    ("Bianca", "Silva", "Silva Imports", "bianca@silvaimports.example", "Miami", "FL", "305-555-0128"),
    ("Carlos", "Mendez", "Mendez Electric", "carlos@mendezelectric.example", "El Paso", "TX", "915-555-0129"),
    ("Diana", "Ivanova", "Ivanova Translations", "diana@ivanova.example", "Sacramento", "CA", "916-555-0130"),
    ("Ethan", "Clarke", "Clarke Medical Supply", "ethan@clarkemed.example", "Louisville", "KY", "502-555-0131"),
    ("Fiona", "MacLeod", "Highland Outfitters", "fiona@highlandout.example", "Anchorage", "AK", "907-555-0132"),
    ("George", "Baker", "Baker Street Books", "george@bakerbooks.example", "Providence", "RI", "401-555-0133"),
    ("Hannah", "Weiss", "Weiss Orthodontics", "hannah@weissortho.example", "Pittsburgh", "PA", "412-555-0134"),
    ("Ivan", "Petrov", "Petrov Machining", "ivan@petrovmach.example", "Cleveland", "OH", "216-555-0135"),
    ("Julia", "Romano", "Romano Catering", "julia@romanocatering.example", "Philadelphia", "PA", "215-555-0136"),
    ("Kevin", "Osei", "Osei Solar", "kevin@oseisolar.example", "Las Vegas", "NV", "702-555-0137"),
    ("Laura", "Jensen", "Jensen Furniture", "laura@jensenfurniture.example", "Madison", "WI", "608-555-0138"),
    ("Marco", "Bianchi", "Bianchi Cycles", "marco@bianchicycles.example", "Salt Lake City", "UT", "801-555-0139"),
    ("Nina", "Kowalski", "Kowalski HVAC", "nina@kowalskihvac.example", "Buffalo", "NY", "716-555-0140"),
    ("Oscar", "Lindqvist", "Nordic Design Studio", "oscar@nordicdesign.example", "St. Paul", "MN", "651-555-0141"),
    ("Priya", "Raman", "Raman Software", "priya@ramansoft.example", "Raleigh", "NC", "919-555-0142"),
    # Two contacts of one firm sharing the firm's front-desk address.
    ("Ruth", "Abrams", "Abrams & Cole Accounting", "office@abramscole.example", "Baltimore", "MD", "410-555-0143"),
    ("Simon", "Cole", "Abrams & Cole Accounting", "office@abramscole.example", "Baltimore", "MD", "410-555-0144"),
    # Two different people with the same first and last name.
    ("John", "Smith", "Smith Hardware", "john@smithhardware.example", "Springfield", "IL", "217-555-0145"),
    ("John", "Smith", "Riverside Printing", "jsmith@riversideprint.example", "Springfield", "MO", "417-555-0146"),
    # A private customer without a company.
    ("Teresa", "Vance", "", "teresa.vance@mail.example", "Tucson", "AZ", "520-555-0147"),
    ("Victor", "Huang", "Huang Trading Co.", "victor@huangtrading.example", "Oakland", "CA", "510-555-0148"),
    ("Wendy", "Foster", "Foster Event Rentals", "wendy@fosterevents.example", "Nashville", "TN", "615-555-0149"),
    ("Xavier", "Morel", "Morel Bistro", "xavier@morelbistro.example", "Kansas City", "MO", "816-555-0150"),
    # The Sold To contact of the host stand-in's sample quote, so the demo finds a match.
    ("Marion", "Okafor", "Harbour Lane Dental", "marion.okafor@harbourlane.example", "Portsmouth", "NH", "603-555-0141"),
]

DEMO_STAGES = [("New Lead", 1, 2), ("Qualified", 2, 5), ("Needs Analysis", 3, 7),
               ("Quote Sent", 4, 7), ("Negotiation", 5, 10), ("Verbal Yes", 6, 3),
               ("Closed Won", 7, 0), ("Closed Lost", 8, 0)]

DEMO_ACTION_SETS = [
    ("Quote Follow-up", [("Send E-mail: Quote follow-up", "E-mail queued"),
                         ("Create Task: Call about quote in 3 days", "Task created")]),
    ("New Customer Welcome", [("Apply Tag: Customer", "Tag applied"),
                              ("Send E-mail: Welcome pack", "E-mail queued")]),
    ("", [("Apply Tag: Untitled", "Tag applied")]),
    ("   Leading Blanks Nurture", [("Start Campaign: Nurture", "Campaign started")]),
    ("Won Deal Handover", [("Create Task: Handover to delivery", "Task created"),
                           ("Send E-mail: Thank you", "E-mail queued")]),
    ("Lost Deal Survey", [("Send E-mail: Survey", "The contact has opted out of e-mail; nothing was sent")]),
]

DEMO_USERS = [("Dana", "Whitfield", "admin@demo.example", "demo-password"),
              ("Evan", "Ross", "sales@demo.example", "sales-password")]

DEMO_GROUPS = [("Customer", "Bought at least once"), ("Prospect", "Asked for a quote"),
               ("Newsletter", "Receives the monthly newsletter")]

DEMO_CAMPAIGNS = [("Quote Nurture", ["Day 1 e-mail", "Day 3 call", "Day 7 e-mail"]),
                  ("Customer Onboarding", ["Welcome", "Check-in"])]

# REST v2 campaign sequences: campaign name, published, its sequences. The first two
# campaigns are the ones above; the sequences get Ids 1, 2, ... in this order.
DEMO_SEQUENCES = [("Quote Nurture", True, ["Quote follow-up", "Second reminder"]),
                  ("Customer Onboarding", True, ["Welcome pack"]),
                  ("Won Deal Handover", True, ["Handover to delivery", "Thank-you call"]),
                  ("Spring Promotion", False, ["Draft offer"])]

# Contact index (0-based), title, notes, stage index, revenue.
DEMO_OPPORTUNITIES = [
    (0, "Office plumbing refit", "Two floors, 14 fixtures.", 3, 12850.0),
    (0, "Annual maintenance", "", 0, 2400.0),
    (3, "Warehouse scanners", "48 handheld scanners and docks.", 4, 31990.5),
    (4, "Point of sale upgrade", "", 1, 5400.0),
    (9, "Managed backup", "Monthly service.", 6, 9600.0),
    (44, "Counter displays", "", 2, 1800.0),
]


def md5_hex(text):
    return hashlib.md5(text.encode("utf-8")).hexdigest()


def _stamp(days_ago):
    return date_key(datetime.datetime(2026, 11, 2, 9, 30, 0) - datetime.timedelta(days=days_ago))


def seed(store, mode, contacts=None, stages=None, action_sets=None):
    """Fill a new store: demo records (mode "demo") or none ("empty"); the counts,
    when given, replace that table's records by that many generated ones."""
    demo = mode == "demo"
    with store.lock:
        store.db.execute("BEGIN")
        try:
            _seed(store, demo, contacts, stages, action_sets)
            store.set_meta("seeded", mode)
            _seed_rest(store)
            store.db.execute("COMMIT")
        except Exception:
            store.db.execute("ROLLBACK")
            raise


def upgrade(store):
    """Give a store seeded by an older sandbox what the REST interface needs."""
    if store.meta("rest_seeded") is not None:
        return
    with store.lock:
        store.db.execute("BEGIN")
        try:
            _seed_rest(store)
            store.db.execute("COMMIT")
        except Exception:
            store.db.execute("ROLLBACK")
            raise


def _seed_rest(store):
    store.link_all_companies()
    if store.meta("seeded") == "demo":
        for name, published, sequences in DEMO_SEQUENCES:
            found = store.db.execute('SELECT Id FROM "Campaign" WHERE Name = ?', (name,)).fetchone()
            status = "Active" if published else "Draft"
            if found:
                campaign_id = found[0]
                store.db.execute('UPDATE "Campaign" SET Status = ? WHERE Id = ?',
                                 (status, campaign_id))
            else:
                campaign_id = store.insert("Campaign", {"Name": name, "Status": status})
            for sequence in sequences:
                store.db.execute("INSERT INTO campaign_sequences (CampaignId, Name) VALUES (?, ?)",
                                 (campaign_id, sequence))
    store.set_meta("rest_seeded", 1)


def _seed(store, demo, contacts, stages, action_sets):
    ins = store.insert
    if contacts is not None:
        for i in range(1, contacts + 1):
            ins("Contact", {"FirstName": f"First{i:05d}", "LastName": f"Last{i:05d}",
                            "Company": f"Company {i:05d}", "Email": f"contact{i:05d}@bulk.example",
                            "DateCreated": _stamp(0), "LastUpdated": _stamp(0)})
    elif demo:
        for n, (first, last, company, email, city, state, phone) in enumerate(DEMO_CONTACTS):
            row = {"FirstName": first, "LastName": last, "Company": company or None,
                   "Email": email, "City": city, "State": state, "Country": "United States",
                   "Phone1": phone, "StreetAddress1": f"{100 + n * 7} Main Street",
                   "PostalCode": f"{10000 + n * 379:05d}", "ContactType": "Prospect",
                   "DateCreated": _stamp(300 - n), "LastUpdated": _stamp(100 - n)}
            if n == 2:
                row.update(MiddleName="Anne", Title="Dr.", JobTitle="Practice Manager",
                           EmailAddress2="chloe@personal.example",
                           EmailAddress3="billing@lumendental.example",
                           Phone1Ext="12", Fax1="206-555-0903", StreetAddress2="Suite 300")
            if n == 9:
                row.update(JobTitle="Owner", EmailAddress2="alice.morgan@brightwater.example")
            ins("Contact", row)

    if stages is not None:
        for i in range(1, stages + 1):
            ins("Stage", {"StageName": f"Stage {i:05d}", "StageOrder": i, "TargetNumDays": 0})
    elif demo:
        for name, order, days in DEMO_STAGES:
            ins("Stage", {"StageName": name, "StageOrder": order, "TargetNumDays": days})

    if action_sets is not None:
        for i in range(1, action_sets + 1):
            set_id = ins("ActionSequence", {"TemplateName": f"Action Set {i:05d}"})
            store.db.execute("INSERT INTO action_steps VALUES (?, 1, ?, ?, 0)",
                             (set_id, "Apply Tag: Bulk", "Tag applied"))
    elif demo:
        for name, steps in DEMO_ACTION_SETS:
            set_id = ins("ActionSequence", {"TemplateName": name or None})
            for pos, (action, message) in enumerate(steps, 1):
                is_error = int("opted out" in message)
                store.db.execute("INSERT INTO action_steps VALUES (?, ?, ?, ?, ?)",
                                 (set_id, pos, action, message, is_error))

    if not demo:
        return
    for first, last, email, password in DEMO_USERS:
        ins("User", {"FirstName": first, "LastName": last, "Email": email,
                     "PasswordHash": md5_hex(password)})
    for name, description in DEMO_GROUPS:
        ins("ContactGroup", {"GroupName": name, "GroupDescription": description})
    for name, steps in DEMO_CAMPAIGNS:
        campaign_id = ins("Campaign", {"Name": name, "Status": "Active"})
        for title in steps:
            ins("CampaignStep", {"CampaignId": campaign_id, "StepTitle": title, "StepStatus": 1})
    if contacts is None:
        stage_ids = [r[0] for r in store.db.execute('SELECT Id FROM "Stage" ORDER BY Id')]
        for n, (contact, title, notes, stage, revenue) in enumerate(DEMO_OPPORTUNITIES):
            ins("Lead", {"ContactID": contact + 1, "OpportunityTitle": title,
                         "OpportunityNotes": notes or None,
                         "StageID": stage_ids[stage] if stage < len(stage_ids) else None,
                         "ProjectedRevenueHigh": revenue, "ProjectedRevenueLow": revenue,
                         "UserID": 1, "DateCreated": _stamp(60 - n * 5),
                         "LastUpdated": _stamp(30 - n * 3)})
        # A note left by an earlier save of quote 1001 for the first contact.
        ins("ContactAction", {"ContactId": 1, "ActionType": "Other",
                              "ActionDescription": "Office plumbing refit <1001>",
                              "CreationNotes": "Quote 1001 saved from QuoteWerks.",
                              "ActionDate": _stamp(20), "CompletionDate": _stamp(20),
                              "CreationDate": _stamp(20), "LastUpdated": _stamp(20), "UserID": 1})
        ins("FileBox", {"ContactId": 1, "FileName": "1001.dtf", "FileSize": 11,
                        "Extension": "dtf", "Public": 0, "Data": b"quote 1001\n",
                        "DateCreated": _stamp(20), "LastUpdated": _stamp(20), "CreatedBy": 1})
