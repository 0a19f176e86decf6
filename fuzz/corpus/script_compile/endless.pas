 function F(n: Integer): Integer; begin Result := F(n + 1) end;
var i: Integer;
begin
  try while true do Inc(i) except i := 0 end;
  repeat until false;
  i := F(0)
end.
