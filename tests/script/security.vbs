' Object security as a script reads it: zrSecurityInfo late-bound, the bytes decoded with zrSd,
' the log object attached, and the editor and account-browser classes by their ProgIDs.
' Check, CheckError and Finish come from support/harness.vbs (scripts/run-vbs puts it first).

Dim fso, path, si, sd, ok
Set fso = CreateObject("Scripting.FileSystemObject")
path = fso.GetAbsolutePathName("tern.dll")
Set si = CreateObject("Tern.zrSecurityInfo")
Check IsObject(si), "CreateObject Tern.zrSecurityInfo"

' A file's DACL, read into a script variable and decoded by a descriptor object.
ok = si.read(path, 1, 4, sd)
Check ok = True, "read of a file"
Check CInt(ok) = -1, "result is -1"
Check si.IsValidSecurityDescriptor(sd) = True, "what was read is valid"

Dim desc, dacl, ace, n
Set desc = CreateObject("Tern.zrSd")
desc.Data = sd
Check Err.Number = 0, "zrSd takes the bytes"
Set dacl = desc.Dacl
Check dacl.AceCount > 0, "the file's DACL has entries"
n = 0
For Each ace In dacl
  Check ace.Sid.Valid = True, "entry " & n & " names an identifier"
  n = n + 1
Next
Check n = dacl.AceCount, "For Each walks every entry"

' What a script composes goes back: a DACL built from objects, written to a registry key
' and read again.
Dim key, again, desc2, acl, entry, everyone, data, found
key = "CURRENT_USER\Software\CorvaneScriptTest"
ok = si.read(key, 4, 4, sd)
Check ok = True, "read of a registry key (created on the way)"
Set everyone = CreateObject("zrTERN.zrSid")
everyone.Sid = "S-1-1-0"
Set entry = CreateObject("Tern.zrAce")
Set entry.Sid = everyone
entry.AccessMask = &HF003F
Set acl = CreateObject("Tern.zrAcl")
acl.AddAce entry
Set desc2 = CreateObject("Tern.zrSd")
Set desc2.Dacl = acl
data = desc2.Data
ok = si.write(key, 4, 4, data)
CheckError 5, "a descriptor of revision 0 is refused"
desc2.Revision = 1
data = desc2.Data
ok = si.write(key, 4, 4, data)
Check ok = True, "write of a composed DACL"
ok = si.read(key, 4, 4, again)
Check ok = True, "read again"
desc2.Data = again
Check desc2.Dacl.AceCount = 1, "one entry read back"
found = False
For Each entry In desc2.Dacl
  found = (entry.Sid.Sid = "S-1-1-0") And (entry.AccessMask = &HF003F)
Next
Check found, "the entry written is the entry read"
CreateObject("WScript.Shell").RegDelete "HKCU\Software\CorvaneScriptTest\"
Err.Clear

' Refusals arrive as script errors: E_INVALIDARG is error 5.
ok = si.read("x", 7, 4, sd)
CheckError 5, "window objects are refused"
ok = si.read("hklm\SOFTWARE", 4, 4, sd)
CheckError 5, "an unknown registry root is refused"

' A failure with a log object attached: the reason is in the log.
Dim log, sys, src, sev, code, text
Set log = CreateObject("zrWICK.zrLog")
Set si.Log = log
Check Err.Number = 0, "Log attached"
ok = si.read(path & ".missing", 1, 4, sd)
Check ok = False, "read of a missing file is false"
log.GetLastError sys, src, sev, code, text
Check code = 2, "error code of the record"
Check sev = 0, "severity of the record"
Check InStr(text, "Cannot open file '" & path & ".missing' (CreateFile).") > 0, "message of the record"
Check si.Log Is log, "Log gives the same object back"

' The other classes by their ProgIDs.
Dim ed, b, d, a, t
Set ed = CreateObject("Tern.zrSiEditor")
Check IsObject(ed), "CreateObject Tern.zrSiEditor"
ed.addAccessRight &H1F01FF, "Full Control", &H20000
Check Err.Number = 0, "addAccessRight with defaults"
ed.addAccessRight 1, "Read", 0, 0
CheckError 5, "page flags other than -1"
ed.Sd = again
Check Err.Number = 0, "Sd put"
Check ed.CustomLookupAndOrder = False, "CustomLookupAndOrder"
ed.CustomLookupAndOrder = True
CheckError 5, "custom lookup cannot be switched on"

Set b = CreateObject("Tern.zrUserBrowser")
Check IsObject(b), "CreateObject Tern.zrUserBrowser"
b.GetSelection 0, d, a, t
CheckError &H80070585, "no selection before Open"

Finish
