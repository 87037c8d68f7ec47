' zrSid as a script sees it: created by ProgID, called late-bound.
' Check, CheckError and Finish come from support/harness.vbs (scripts/run-vbs puts it first).

Dim sid, other
Set sid = CreateObject("zrTERN.zrSid")
Check IsObject(sid), "CreateObject zrTERN.zrSid"
Set other = CreateObject("zrTERN.zrSid.1")
Check IsObject(other), "CreateObject zrTERN.zrSid.1"

sid.Sid = "S-1-5-32-544"
Check sid.Sid = "S-1-5-32-544", "Sid round trip"
Check sid.Valid = True, "Valid is True"
Check sid.Rid = 544, "Rid"
Check sid.SubauthorityCount = 2, "SubauthorityCount"
Check CBool(sid.Valid) And (CInt(sid.Valid) = -1), "boolean is -1"

sid.Rid = 545
Check sid.Sid = "S-1-5-32-545", "Rid put"
sid.SubauthorityCount = 4
Check sid.Sid = "S-1-5-32-545-0-0", "SubauthorityCount grows with zeros"

sid.Sid = "not a sid"
Check sid.Valid = False, "bad text leaves no identifier"
Check sid.Sid = "", "Sid of nothing gives nothing"

sid.System = "server"
Check sid.System = "\\server", "System normalised"
sid.System = ""
Check sid.System = "", "System cleared"

sid.Account = "Administrators"
Check sid.AccountToSid() = True, "AccountToSid Administrators"
Check sid.Sid = "S-1-5-32-544", "resolved identifier"
Check sid.Domain = "BUILTIN", "resolved domain"
Check sid.SidType = 4, "alias kind"
Check sid.Account = "Administrators", "account kept"

' The binary form travels between objects as a byte string.
Dim data
data = sid.Data
other.Data = data
Check other.Sid = "S-1-5-32-544", "Data from one object into another"

sid.Sid = "S-1-1-0"
Check sid.SidToAccount() = True, "SidToAccount Everyone"
Check Len(sid.Account) > 0, "account name filled"

sid.Account = "no-such-account-zz"
Check sid.AccountToSid() = False, "unknown account"
Check sid.Sid = "S-1-1-0", "identifier unchanged"

sid.Clear
Check sid.Valid = False And sid.SidType = 7, "Clear"

sid.InitCurrentUser
Check sid.Valid = True, "InitCurrentUser"

Finish
