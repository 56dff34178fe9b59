"""The quota and throttle headers every REST answer carries, counted plausibly: a
key's day quota, its per-minute throttle and the tenant's per-minute throttle."""

import collections
import datetime
import threading
import time

DAY_QUOTA = 30000
KEY_THROTTLE = 240
TENANT_THROTTLE = 10000


class Quota:
    def __init__(self, tenant):
        self.tenant = tenant
        self._lock = threading.Lock()
        self._day = None
        self._used_today = 0
        self._recent = collections.deque()  # monotonic times of the last minute's calls

    def count(self):
        """Count one call; the headers to answer it with."""
        with self._lock:
            now = datetime.datetime.now(datetime.timezone.utc)
            if now.date() != self._day:
                self._day, self._used_today = now.date(), 0
            self._used_today += 1
            moment = time.monotonic()
            self._recent.append(moment)
            while self._recent and self._recent[0] <= moment - 60:
                self._recent.popleft()
            minute = len(self._recent)
            used_today = self._used_today
        midnight = datetime.datetime.combine(now.date() + datetime.timedelta(days=1),
                                             datetime.time(), datetime.timezone.utc)
        headers = {
            "x-keap-product-quota-limit": DAY_QUOTA,
            "x-keap-product-quota-time-unit": "day",
            "x-keap-product-quota-interval": 1,
            "x-keap-product-quota-available": max(DAY_QUOTA - used_today, 0),
            "x-keap-product-quota-used": used_today,
            "x-keap-product-quota-expiry-time": midnight.strftime("%Y-%m-%dT%H:%M:%SZ"),
            "x-keap-tenant-id": self.tenant,
        }
        for prefix, limit in (("x-keap-product-throttle", KEY_THROTTLE),
                              ("x-keap-tenant-throttle", TENANT_THROTTLE)):
            headers.update({f"{prefix}-limit": limit, f"{prefix}-time-unit": "minute",
                            f"{prefix}-interval": 1,
                            f"{prefix}-available": max(limit - minute, 0),
                            f"{prefix}-used": minute})
        return {name: str(value) for name, value in headers.items()}
