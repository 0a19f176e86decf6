 var a: array[3, 3] of Integer; s: String; i, j: Integer; v: Variant;
procedure P(var x: Integer; y: Integer = 2); begin x := x + y; if x > 10 then exit end;
begin
  s := 'abc'; s[2] := 'z'; v := s[1] + s;
  for i := 0 to 2 do for j := 2 downto 0 do begin a[i, j] := i * j; if j = 1 then continue; P(i) end;
  case i of 1..3: j := 1; 4, 5: j := 2 else j := 3 end;
  try i := 1 div 0 except s := ExceptionMessage end;
  try exit finally j := 0 end
end.
