"""A scripted pattern authentication server for the tests, on top of mockhttp.MockServer.

The client asks two things below two base addresses: the random number table at
RAND_PATH + <URL-encoded NolvexID> and the verification at CERT_PATH + "uid=<ID>&pass=<pattern>"
(both GET). A test scripts each answer and reads back what was asked:

    with PatternServer() as server:
        server.answer_table("12", "34", "56")                 # code 21030101 and the three parts
        server.answer_verify(21040114)                        # any code
        server.table_reply(Reply(200, b"garbage"))            # or any mockhttp.Reply
        ... run the client against server.rand_url() and server.cert_url() ...
        server.table_requests()   # [decoded NolvexID, ...]
        server.verify_requests()  # [(uid, pass), ...] decoded
"""
import urllib.parse

from mockhttp import MockServer, Reply

RAND_PATH = "/paslogi/rand/"
CERT_PATH = "/paslogi/cert/"
TABLE_OK = 21030101
VERIFIED = 21040101


def answer_document(code, comment="", data=None):
    """The server's answer: PassLogic:Response with code, comment, copyright, the process values
    and, for a table, data with RAND (rand1..3), cookie, uid, title."""
    parts = ['<?xml version="1.0" encoding="UTF-8"?>', "<PassLogic:Response>",
             "<code>%s</code>" % code, "<comment>%s</comment>" % comment,
             "<copyright>(c) mock</copyright>", "<pid>4711</pid>", "<ptime>3</ptime>", "<status>ok</status>"]
    if data is not None:
        rand1, rand2, rand3 = data
        parts.append("<data><RAND><rand1>%s</rand1><rand2>%s</rand2><rand3>%s</rand3></RAND>"
                     "<cookie>c-1</cookie><uid>u-1</uid><title>table</title></data>" % (rand1, rand2, rand3))
    parts.append("</PassLogic:Response>")
    return "".join(parts).encode("utf-8")


class PatternServer(MockServer):
    """Paths below RAND_PATH get the table answer, below CERT_PATH the verification answer."""

    def __init__(self, tls=None, stall_limit=60.0):
        super().__init__(tls=tls, stall_limit=stall_limit)
        self._table = Reply(404, b"no table scripted")
        self._verify = Reply(404, b"no verification scripted")

    def rand_url(self, slash=True):
        return self.url(RAND_PATH if slash else RAND_PATH.rstrip("/"))

    def cert_url(self, slash=True):
        return self.url(CERT_PATH if slash else CERT_PATH.rstrip("/"))

    def table_reply(self, reply):
        with self._lock:
            self._table = reply

    def verify_reply(self, reply):
        with self._lock:
            self._verify = reply

    def answer_table(self, rand1, rand2, rand3, code=TABLE_OK, **reply_options):
        self.table_reply(Reply(200, answer_document(code, data=(rand1, rand2, rand3)), **reply_options))

    def answer_verify(self, code, comment="", **reply_options):
        self.verify_reply(Reply(200, answer_document(code, comment), **reply_options))

    def reply_for(self, path):
        with self._lock:
            if path.startswith(RAND_PATH):
                return self._table
            if path.startswith(CERT_PATH):
                return self._verify
        return Reply(404, b"not a pattern server path")

    def raw_paths(self, prefix):
        return [r.path[len(prefix):] for r in self.received() if r.path.startswith(prefix)]

    def table_requests(self):
        """The NolvexIDs asked for, decoded."""
        return [urllib.parse.unquote(p) for p in self.raw_paths(RAND_PATH)]

    def verify_requests(self):
        """(uid, pass) of each verification, decoded."""
        result = []
        for raw in self.raw_paths(CERT_PATH):
            fields = dict(pair.split("=", 1) for pair in raw.split("&") if "=" in pair)
            result.append((urllib.parse.unquote(fields.get("uid", "")), urllib.parse.unquote(fields.get("pass", ""))))
        return result
