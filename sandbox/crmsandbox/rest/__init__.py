"""The CRM's REST v2 interface (/crm/rest/v2) over the sandbox's store."""

from .core import RestAnswer, RestRequest
from .service import BASE, RestApi, RestSettings

__all__ = ["BASE", "RestAnswer", "RestApi", "RestRequest", "RestSettings"]
