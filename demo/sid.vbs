' A short tour of the security identifier object, as a script author would use it.
Option Explicit
Dim sid
Set sid = CreateObject("zrTERN.zrSid")

sid.InitCurrentUser
sid.SidToAccount
WScript.Echo "You are          : " & sid.Domain & "\" & sid.Account & "  (" & sid.Sid & ")"

sid.Account = "Administrators"
sid.AccountToSid
WScript.Echo "Administrators   : " & sid.Sid & "  domain " & sid.Domain & ", kind " & sid.SidType

sid.Sid = "S-1-1-0"
sid.SidToAccount
WScript.Echo "S-1-1-0          : " & sid.Account

sid.SystemToSid
WScript.Echo "Computer domain  : " & sid.Domain & "  " & sid.Sid

sid.Sid = "S-1-5-32-544"
sid.SubauthorityCount = 4
sid.Rid = 1000
WScript.Echo "Edited identifier: " & sid.Sid & "  (" & sid.SubauthorityCount & " sub-authorities)"
