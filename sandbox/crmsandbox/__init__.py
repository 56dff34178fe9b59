"""A local stand-in for the Infusionsoft CRM's XML-RPC API (standard library only)."""
