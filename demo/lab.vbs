' Grants an account read access to a share of the lab network by rewriting the share's access
' list, the way the share administration program does it, and logs what happened.
' Usage: cscript lab.vbs <share> <account> <log file>
Option Explicit
Dim shareName, accountName, logFile
shareName = WScript.Arguments(0)
accountName = WScript.Arguments(1)
logFile = WScript.Arguments(2)

Dim log, si, sd, acl, ace, sid, bytes, ok, entry, who

Function Named(s)
  If s.Domain = "" Then Named = s.Account Else Named = s.Domain & "\" & s.Account
End Function
Set log = CreateObject("zrWICK.zrLog")
log.FileName = logFile
log.FlagFile = True

Set si = CreateObject("Tern.zrSecurityInfo")
Set si.Log = log

' Read the share's access list (type 5: share, information 4: the access list).
ok = si.read(shareName, 5, 4, bytes)
If Not ok Then
  WScript.Echo "Cannot read the security of " & shareName & " (see " & logFile & ")"
  WScript.Quit 1
End If
Set sd = CreateObject("Tern.zrSd")
sd.Data = bytes
Set acl = sd.Dacl

WScript.Echo "Access list of " & shareName & " before:"
For Each entry In acl
  Set who = entry.Sid
  who.SidToAccount
  WScript.Echo "  " & Named(who) & "  mask 0x" & Hex(entry.AccessMask)
  ' An existing entry for the account is replaced.
  If LCase(who.Account) = LCase(accountName) Then acl.RemoveAce entry
Next

Set sid = CreateObject("zrTERN.zrSid")
sid.Account = accountName
Set sid.Log = log
If Not sid.AccountToSid() Then
  WScript.Echo "Cannot resolve " & accountName & " (see " & logFile & ")"
  WScript.Quit 1
End If
Set ace = CreateObject("Tern.zrAce")
Set ace.Sid = sid
ace.AccessMask = &H1200A9
ace.AceFlags = 6
ace.AceType = 0
acl.AddAce ace
Set sd.Dacl = acl
sd.Control = 4

bytes = sd.Data
ok = si.write(shareName, 5, 4, bytes)
If Not ok Then
  WScript.Echo "Cannot write the security of " & shareName & " (see " & logFile & ")"
  WScript.Quit 1
End If

WScript.Echo "Access list of " & shareName & " after granting " & sid.Domain & "\" & accountName & " read access:"
ok = si.read(shareName, 5, 4, bytes)
sd.Data = bytes
For Each entry In sd.Dacl
  Set who = entry.Sid
  who.SidToAccount
  WScript.Echo "  " & Named(who) & "  mask 0x" & Hex(entry.AccessMask)
Next

' A server that does not answer: the failure goes to the log, the script goes on.
ok = si.read("\\ARCHIVE\C$", 5, 4, bytes)
WScript.Echo "Reading \\ARCHIVE\C$ (switched off): " & ok
