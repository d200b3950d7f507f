## PK_SAME_BITS (ACTUAL, EXPECTED)
## True when both have the same size and every element has the same bit pattern, any NaN
## counting as equal to any NaN (so -0 differs from +0).
function ok = pk_same_bits (actual, expected)
  ok = isa (actual, "double") && isreal (actual) && isequal (size (actual), size (expected));
  if (ok)
    a = actual(:);
    e = double (expected(:));
    same = typecast (a, "uint64") == typecast (e, "uint64");
    ok = all (same | (isnan (a) & isnan (e)));
  endif
endfunction
