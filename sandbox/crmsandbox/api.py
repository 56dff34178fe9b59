"""The CRM's XML-RPC methods: parameter checking, API key checking and the services."""

import base64
import binascii
import hmac
import sys

from . import schema, wire
from .store import (CrmFault, FAULT_FAILED_LOGIN, FAULT_INVALID_CONFIG, FAULT_NO_SUCH_METHOD,
                    file_extension, invalid, int_from, not_found, now_key)
from .wire import Binary, DateTime

# Parameter kinds of the method table:
#   key    the API key (a placeholder on the header-key endpoint)
#   str    text
#   int    an int, or digit text
#   struct, array
#   value  any scalar (findByField's match value)
#   data   file data: base64 text or a base64 value

_JAVA_NAMES = {str: "java.lang.String", int: "java.lang.Integer", bool: "java.lang.Boolean",
               float: "java.lang.Double", dict: "java.util.HashMap", list: "[Ljava.lang.Object;",
               tuple: "[Ljava.lang.Object;", DateTime: "java.util.Date", Binary: "[B",
               type(None): "null"}


def _java_signature(params):
    return ", ".join(_JAVA_NAMES.get(type(p), type(p).__name__) for p in params)


def _matches(kind, value):
    if kind in ("key", "str"):
        return isinstance(value, str)
    if kind == "int":
        return int_from(value) is not None
    if kind == "struct":
        return isinstance(value, dict)
    if kind == "array":
        return isinstance(value, list)
    if kind == "value":
        return isinstance(value, (str, int, float, bool, DateTime))
    if kind == "data":
        return isinstance(value, (str, Binary))
    return False


def _convert(kind, value):
    return int_from(value) if kind == "int" else value


APP_SETTINGS = {
    ("Contact", "optiontypes"): "Prospect,Customer,Partner,Reseller,Vendor",
    ("Contact", "optionphonetypes"): "Work,Home,Mobile,Other",
    ("Contact", "optionfaxtypes"): "Work,Home,Other",
    ("Opportunity", "optionleadsources"): "Web,Referral,Trade Show,Phone",
    ("Application", "enabled"): "true",
    ("Order", "defaultcurrency"): "USD",
}


class CrmApi:
    def __init__(self, store, api_key, app, vendor_key):
        self.store = store
        self.api_key = api_key
        self.app = app
        self.vendor_key = vendor_key
        self.base_url = ""  # set once the port is known
        s = self
        self.methods = {
            "DataService.add": [(("key", "str", "struct"), s.data_add)],
            "DataService.load": [(("key", "str", "int", "array"), s.data_load)],
            "DataService.update": [(("key", "str", "int", "struct"), s.data_update)],
            "DataService.delete": [(("key", "str", "int"), s.data_delete)],
            "DataService.findByField": [(("key", "str", "int", "int", "str", "value", "array"),
                                         s.data_find_by_field)],
            "DataService.query": [(("key", "str", "int", "int", "struct", "array"), s.data_query)],
            "DataService.addCustomField": [(("key", "str", "str", "str", "int"),
                                            s.data_add_custom_field)],
            "DataService.authenticateUser": [(("key", "str", "str"), s.data_authenticate_user)],
            "DataService.getAppSetting": [(("key", "str", "str"), s.data_get_app_setting)],
            "DataService.getTemporaryKey": [(("str", "str", "str"), s.data_get_temporary_key)],
            "DataService.updateCustomField": [(("key", "int", "struct"),
                                               s.data_update_custom_field)],
            "ContactService.add": [(("key", "struct"), s.contact_add)],
            "ContactService.update": [(("key", "int", "struct"), s.contact_update)],
            "ContactService.findByEmail": [(("key", "str", "array"), s.contact_find_by_email)],
            "ContactService.load": [(("key", "int", "array"), s.contact_load)],
            "ContactService.addToCampaign": [(("key", "int", "int"), s.contact_add_to_campaign)],
            "ContactService.getNextCampaignStep": [(("key", "int", "int"),
                                                    s.contact_get_next_campaign_step)],
            "ContactService.pauseCampaign": [(("key", "int", "int"), s.contact_pause_campaign)],
            "ContactService.removeFromCampaign": [(("key", "int", "int"),
                                                   s.contact_remove_from_campaign)],
            "ContactService.resumeCampaignForContact": [(("key", "int", "int"),
                                                         s.contact_resume_campaign)],
            "ContactService.rescheduleCampaignStep": [(("key", "array", "int"),
                                                       s.contact_reschedule_campaign_step)],
            "ContactService.addToGroup": [(("key", "int", "int"), s.contact_add_to_group)],
            "ContactService.removeFromGroup": [(("key", "int", "int"), s.contact_remove_from_group)],
            "ContactService.runActionSequence": [(("key", "int", "int"),
                                                  s.contact_run_action_sequence)],
            "FileService.getFile": [(("key", "int"), s.file_get)],
            "FileService.uploadFile": [(("key", "int", "str", "data"), s.file_upload_for_contact),
                                       (("key", "str", "data"), s.file_upload)],
            "FileService.replaceFile": [(("key", "int", "data"), s.file_replace)],
            "FileService.renameFile": [(("key", "int", "str"), s.file_rename)],
            "FileService.getDownloadUrl": [(("key", "int"), s.file_get_download_url)],
        }

    # --- dispatch -----------------------------------------------------

    def answer(self, method, params, path, header_key):
        """The response body for one call: a params answer or a fault, never an exception."""
        try:
            return wire.dump_response(self.call(method, params, path, header_key))
        except CrmFault as fault:
            return wire.dump_fault(fault.code, fault.text)
        except Exception as exc:  # a bug here must not cost the client its answer
            print(f"sandbox: {method} failed: {exc!r}", file=sys.stderr)
            return wire.dump_fault(FAULT_NO_SUCH_METHOD, f"[DatabaseError]{type(exc).__name__}: {exc}")

    def call(self, method, params, path, header_key):
        signatures = self.methods.get(method)
        if signatures is None:
            raise CrmFault(FAULT_NO_SUCH_METHOD, f"No such handler: {method}")
        for kinds, handler in signatures:
            if len(kinds) == len(params) and all(_matches(k, p) for k, p in zip(kinds, params)):
                break
        else:
            # A key that does not fit any signature is still a wrong key first.
            if signatures[0][0][0] == "key":
                self._check_key(params[0] if params else None, path, header_key)
            raise CrmFault(FAULT_NO_SUCH_METHOD,
                           f"No method matching arguments: {_java_signature(params)}")
        if kinds[0] == "key":
            self._check_key(params[0], path, header_key)
            args = [_convert(k, p) for k, p in zip(kinds[1:], params[1:])]
        else:
            args = [_convert(k, p) for k, p in zip(kinds, params)]
        return handler(*args)

    def _check_key(self, key, path, header_key):
        # On /crm/xmlrpc the key travels in a header and the first parameter
        # is only a placeholder; on /api/xmlrpc the first parameter is the key.
        given = header_key if path == "/crm/xmlrpc" else key
        if not isinstance(given, str) or not hmac.compare_digest(given.encode(), self.api_key.encode()):
            raise CrmFault(FAULT_INVALID_CONFIG,
                           "[InvalidConfig]The API key is not valid for this application.")

    def record_for_page(self, table, record_id):
        return self.store.record_fields(table, record_id)

    # --- DataService --------------------------------------------------

    def data_add(self, table, values):
        return self.store.add(table, values)

    def data_load(self, table, record_id, fields):
        return self.store.load(table, record_id, fields)

    def data_update(self, table, record_id, values):
        return self.store.update(table, record_id, values)

    def data_delete(self, table, record_id):
        return self.store.delete(table, record_id)

    def data_query(self, table, limit, page, query_data, fields):
        return self.store.query(table, limit, page, query_data, fields)

    def data_find_by_field(self, table, limit, page, field, value, fields):
        return self.store.query(table, limit, page, {field: value}, fields)

    def data_add_custom_field(self, context, label, data_type, group_id):
        if context not in schema.CUSTOM_FIELD_CONTEXTS:
            raise invalid(f"Invalid custom field context: {context}")
        if data_type not in schema.CUSTOM_FIELD_TYPES:
            raise invalid(f"Invalid custom field data type: {data_type}")
        if group_id < 1:
            raise invalid(f"Invalid custom field group Id: {group_id}")
        table, form_id = schema.CUSTOM_FIELD_CONTEXTS[context]
        return self.store.add_custom_field(table, form_id, label, data_type, group_id)

    def data_update_custom_field(self, field_id, values):
        allowed = {"Label", "DefaultValue", "Values", "ListRows", "GroupId"}
        for name in values:
            if name not in allowed:
                raise CrmFault(10, f"[NoFieldFound]No field found: DataFormField.{name}")
        if not self.store.exists("DataFormField", field_id):
            raise not_found("DataFormField", field_id)
        row = {}
        for name, value in values.items():
            if name in ("ListRows", "GroupId"):
                number = int_from(value)
                if number is None:
                    raise invalid(f"Invalid value for DataFormField.{name}: {value!r}")
                row[name] = number
            elif isinstance(value, (str, int, float)) and not isinstance(value, bool):
                row[name] = str(value)
            else:
                raise invalid(f"Invalid value for DataFormField.{name}: {value!r}")
        if row:
            sets = ", ".join(f'"{n}" = ?' for n in row)
            self.store.execute(f'UPDATE "DataFormField" SET {sets} WHERE Id = ?',
                               [*row.values(), field_id])
        return True

    def _user_for_login(self, username, password_hash):
        rows = self.store.execute(
            'SELECT Id, PasswordHash FROM "User" WHERE crm_fold(Email) = ? ORDER BY Id',
            (username.casefold(),))
        for user_id, stored in rows:
            if stored and hmac.compare_digest(stored.lower().encode(),
                                              password_hash.strip().lower().encode()):
                return user_id
        raise CrmFault(FAULT_FAILED_LOGIN, "[FailedLoginAttempt]Invalid username and/or password.")

    def data_authenticate_user(self, username, password_hash):
        return self._user_for_login(username, password_hash)

    def data_get_app_setting(self, module, setting):
        return APP_SETTINGS.get((module, setting.lower()), "")

    def data_get_temporary_key(self, vendor_key, username, password_hash):
        if not hmac.compare_digest(vendor_key.encode(), self.vendor_key.encode()):
            raise CrmFault(FAULT_INVALID_CONFIG, "[InvalidKey]The vendor key is not valid.")
        self._user_for_login(username, password_hash)
        return self.api_key

    # --- ContactService -----------------------------------------------

    def contact_add(self, data):
        return self.store.add("Contact", data)

    def contact_update(self, contact_id, data):
        return self.store.update("Contact", contact_id, data)

    def contact_find_by_email(self, email, fields):
        return self.store.find_by_email(email, fields)

    def contact_load(self, contact_id, fields):
        return self.store.load("Contact", contact_id, fields)

    def _require(self, table, record_id):
        if not self.store.exists(table, record_id):
            raise not_found(table, record_id)

    def _enrolment(self, contact_id, campaign_id):
        self._require("Contact", contact_id)
        self._require("Campaign", campaign_id)
        rows = self.store.execute('SELECT Id, NextStepId, Paused FROM "CampaignContact" '
                                  "WHERE ContactId = ? AND CampaignId = ?",
                                  (contact_id, campaign_id))
        return rows[0] if rows else None

    def contact_add_to_campaign(self, contact_id, campaign_id):
        with self.store.lock:
            if self._enrolment(contact_id, campaign_id) is None:
                first = self.store.execute('SELECT Id FROM "CampaignStep" WHERE CampaignId = ? '
                                           "ORDER BY Id LIMIT 1", (campaign_id,))
                self.store.insert("CampaignContact", {
                    "CampaignId": campaign_id, "ContactId": contact_id,
                    "NextStepId": first[0][0] if first else 0, "Paused": 0, "NextRun": now_key()})
            return True

    def contact_get_next_campaign_step(self, contact_id, campaign_id):
        with self.store.lock:
            row = self._enrolment(contact_id, campaign_id)
            return row[1] if row else 0

    def _set_paused(self, contact_id, campaign_id, paused):
        with self.store.lock:
            row = self._enrolment(contact_id, campaign_id)
            if row is None:
                return False
            self.store.execute('UPDATE "CampaignContact" SET Paused = ? WHERE Id = ?',
                               (paused, row[0]))
            return True

    def contact_pause_campaign(self, contact_id, campaign_id):
        return self._set_paused(contact_id, campaign_id, 1)

    def contact_resume_campaign(self, contact_id, campaign_id):
        return self._set_paused(contact_id, campaign_id, 0)

    def contact_remove_from_campaign(self, contact_id, campaign_id):
        with self.store.lock:
            row = self._enrolment(contact_id, campaign_id)
            if row is None:
                return False
            self.store.execute('DELETE FROM "CampaignContact" WHERE Id = ?', (row[0],))
            return True

    def contact_reschedule_campaign_step(self, contact_ids, step_id):
        ids = [int_from(v) for v in contact_ids]
        if any(i is None for i in ids):
            raise invalid(f"Contact Ids must be integers: {contact_ids!r}")
        with self.store.lock:
            step = self.store.execute('SELECT CampaignId FROM "CampaignStep" WHERE Id = ?',
                                      (step_id,))
            if not step:
                raise not_found("CampaignStep", step_id)
            for contact_id in ids:
                self._require("Contact", contact_id)
            moved = 0
            for contact_id in ids:
                cur = self.store.db.execute(
                    'UPDATE "CampaignContact" SET NextStepId = ?, NextRun = ? '
                    "WHERE ContactId = ? AND CampaignId = ?",
                    (step_id, now_key(), contact_id, step[0][0]))
                moved += cur.rowcount
            return moved

    def _group_list(self, contact_id):
        rows = self.store.execute('SELECT GroupId FROM "ContactGroupAssign" WHERE ContactId = ? '
                                  "ORDER BY Id", (contact_id,))
        return ",".join(str(r[0]) for r in rows) or None

    def contact_add_to_group(self, contact_id, group_id):
        with self.store.lock:
            self._require("Contact", contact_id)
            self._require("ContactGroup", group_id)
            if not self.store.execute('SELECT 1 FROM "ContactGroupAssign" WHERE ContactId = ? '
                                      "AND GroupId = ?", (contact_id, group_id)):
                self.store.insert("ContactGroupAssign", {"GroupId": group_id,
                                                         "ContactId": contact_id,
                                                         "DateCreated": now_key()})
                self.store.execute('UPDATE "Contact" SET Groups = ? WHERE Id = ?',
                                   (self._group_list(contact_id), contact_id))
            return True

    def contact_remove_from_group(self, contact_id, group_id):
        with self.store.lock:
            self._require("Contact", contact_id)
            self._require("ContactGroup", group_id)
            cur = self.store.db.execute('DELETE FROM "ContactGroupAssign" WHERE ContactId = ? '
                                        "AND GroupId = ?", (contact_id, group_id))
            self.store.execute('UPDATE "Contact" SET Groups = ? WHERE Id = ?',
                               (self._group_list(contact_id), contact_id))
            return cur.rowcount > 0

    def contact_run_action_sequence(self, contact_id, action_set_id):
        with self.store.lock:
            self._require("Contact", contact_id)
            self._require("ActionSequence", action_set_id)
            steps = self.store.execute("SELECT Action, Message, IsError FROM action_steps "
                                       "WHERE ActionSequenceId = ? ORDER BY Position",
                                       (action_set_id,))
            return [{"Action": a, "Message": m, "IsError": bool(e)} for a, m, e in steps]

    # --- FileService --------------------------------------------------

    @staticmethod
    def _decode(data):
        if isinstance(data, Binary):
            return data.data
        try:
            return base64.b64decode("".join(data.split()), validate=True)
        except (binascii.Error, ValueError):
            raise invalid("File data is not valid base64") from None

    def _file_row(self, file_id):
        rows = self.store.execute('SELECT Data FROM "FileBox" WHERE Id = ?', (file_id,))
        if not rows:
            raise not_found("FileBox", file_id)
        return rows[0]

    def file_get(self, file_id):
        with self.store.lock:
            # The hosted service hands file contents back as base64 text.
            return base64.b64encode(bytes(self._file_row(file_id)[0] or b"")).decode("ascii")

    def file_upload_for_contact(self, contact_id, name, data):
        with self.store.lock:
            if contact_id > 0:
                self._require("Contact", contact_id)
            return self._store_file(max(contact_id, 0), name, data)

    def file_upload(self, name, data):
        with self.store.lock:
            return self._store_file(0, name, data)

    def _store_file(self, contact_id, name, data):
        if not name.strip():
            raise invalid("File name must not be empty")
        content = self._decode(data)
        stamp = now_key()
        return self.store.insert("FileBox", {"ContactId": contact_id, "FileName": name,
                                             "FileSize": len(content),
                                             "Extension": file_extension(name),
                                             "Public": 0, "Data": content,
                                             "DateCreated": stamp, "LastUpdated": stamp})

    def file_replace(self, file_id, data):
        content = self._decode(data)
        with self.store.lock:
            self._file_row(file_id)
            self.store.execute('UPDATE "FileBox" SET Data = ?, FileSize = ?, LastUpdated = ? '
                               "WHERE Id = ?", (content, len(content), now_key(), file_id))
            return True

    def file_rename(self, file_id, name):
        if not name.strip():
            raise invalid("File name must not be empty")
        with self.store.lock:
            self._file_row(file_id)
            self.store.execute('UPDATE "FileBox" SET FileName = ?, Extension = ?, LastUpdated = ? '
                               "WHERE Id = ?", (name, file_extension(name), now_key(), file_id))
            return True

    def file_get_download_url(self, file_id):
        with self.store.lock:
            self._file_row(file_id)
        return f"{self.base_url}/Download?Id={file_id}"

    def file_content(self, file_id):
        """(name, bytes) of a stored file for the download page, or None."""
        rows = self.store.execute('SELECT FileName, Data FROM "FileBox" WHERE Id = ?', (file_id,))
        return (rows[0][0], bytes(rows[0][1] or b"")) if rows else None
