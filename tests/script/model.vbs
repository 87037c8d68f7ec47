' Entries, lists and descriptors as a script builds them: ProgIDs, late binding,
' reference properties with Set, For Each over a list, bytes checked as hexadecimal text.
' Check, CheckError and Finish come from support/harness.vbs (scripts/run-vbs puts it first).

Dim conv
Set conv = CreateObject("Wick.zrDataConvertor")
Check IsObject(conv), "CreateObject Wick.zrDataConvertor"

Function HexOf(bytes)
  Dim b
  b = bytes
  HexOf = conv.convert(1, b)
End Function

Dim sd, acl, allow, deny, everyone, guests, owner
Set sd = CreateObject("Tern.zrSd")
Check IsObject(sd), "CreateObject Tern.zrSd"
Set acl = CreateObject("Tern.zrAcl")
Check IsObject(acl), "CreateObject Tern.zrAcl"
Set allow = CreateObject("Tern.zrAce")
Check IsObject(allow), "CreateObject Tern.zrAce"
Set deny = CreateObject("Tern.zrAce.1")
Check IsObject(deny), "CreateObject Tern.zrAce.1"
Set everyone = CreateObject("zrTERN.zrSid")
Set guests = CreateObject("zrTERN.zrSid")
Set owner = CreateObject("zrTERN.zrSid")

everyone.Sid = "S-1-1-0"
guests.Sid = "S-1-5-32-546"
owner.Sid = "S-1-5-32-544"

' A new list and a new descriptor.
Check acl.AceCount = 0 And acl.AclRevision = 0, "new list"
Check acl.AccessDeniedIfEmpty = True, "new list denies when empty"
Check HexOf(acl.Data) = "0000080000000000", "empty list"
Check HexOf(sd.Data) = "00000480000000000000000000000000140000000000080000000000", "new descriptor"

' Entries.
Set allow.Sid = everyone
allow.AccessMask = &H1F01FF
Check HexOf(allow.Data) = "00001400FF011F00010100000000000100000000", "allowed entry"
Check allow.Sid.Sid = "S-1-1-0", "entry's identifier object"
deny.AceType = 1
deny.AccessMask = &H10000
Set deny.Sid = guests

' E_INVALIDARG reaches a script as its own error 5, "Invalid procedure call or argument".
allow.ObjectType = "{01234567-89AB-CDEF-0123-456789ABCDEF}"
CheckError 5, "GUID text with braces is refused"
allow.InheritedObjectType = "01234567-89AB-CDEF-0123-456789ABCDEF"
Check allow.InheritedObjectType = "01234567-89ab-cdef-0123-456789abcdef", "GUID text reads lower case"
Check allow.Flags = 2, "presence bit set"
Check Len(HexOf(allow.Data)) = 40, "plain entry leaves the GUID out"

Set allow.Sid = acl
CheckError 5, "a list is no identifier"

' The list: identity, For Each, sort.
acl.AclRevision = 2
acl.AddAce allow
Check acl.AceCount = 1, "AddAce"
acl.AddAce allow
CheckError &H80004004, "the same entry twice"
acl.AddAce deny
Check acl.AceCount = 2, "two entries"

Dim e, masks
masks = ""
For Each e In acl
  masks = masks & Hex(e.AccessMask) & ";"
Next
Check masks = "1F01FF;10000;", "For Each in list order"

Check acl.sort() = False, "allow before deny is not in order"
masks = ""
For Each e In acl
  masks = masks & Hex(e.AccessMask) & ";"
Next
Check masks = "10000;1F01FF;", "sorted: deny first"
Check acl.sort() = True, "sorted list is in order"
Check HexOf(acl.Data) = "020034000200000001001800000001000102000000000005200000002202000000001400FF011F00010100000000000100000000", _
  "list bytes"

' The descriptor holds the objects themselves.
sd.Revision = 1
sd.Control = 4
Set sd.SidOwner = owner
Set sd.Dacl = acl
Check sd.Dacl.AceCount = 2, "Dacl is the list itself"
acl.RemoveAce allow
acl.AddAce allow
Dim expected
expected = "01000480140000000000000000000000240000000102000000000005200000002002000002003400020000000100180000000100" & _
  "0102000000000005200000002202000000001400FF011F00010100000000000100000000"
Check HexOf(sd.Data) = expected, "descriptor bytes"

' Read back into another descriptor.
Dim sd2, data
Set sd2 = CreateObject("Tern.zrSd")
data = sd.Data
sd2.Data = data
Check sd2.Control = &H8004& And sd2.Revision = 1, "header read back"
Check sd2.SidOwner.Sid = "S-1-5-32-544", "owner read back"
Check sd2.Dacl.AceCount = 2, "list read back"
Check HexOf(sd2.Data) = expected, "same bytes again"
masks = ""
For Each e In sd2.Dacl
  masks = masks & e.Sid.Sid & ";"
Next
Check masks = "S-1-5-32-546;S-1-1-0;", "entries made from the bytes"

data = conv.convert(2, "0102")
sd2.Data = data
CheckError &H8007053A, "two bytes are no descriptor"
Check sd2.Dacl.AceCount = 0 And sd2.Revision = 0, "refused bytes leave it cleared"

sd.Clear
Check acl.AceCount = 0 And owner.Valid = False, "Clear empties the held parts"

Finish
