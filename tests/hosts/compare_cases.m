## octave-cli compare_cases.m REFERENCE OTHER
## Compares two results files of cases.m case by case: the same inputs, the same shape and bits
## (NaN by position only: cases.m saved every NaN as one pattern), or the same error identifier
## and message. Prints one line of counts (and the first differences), exits non-zero on any.
1;

function text = describe (c)
  if (strcmp (c.status, "error"))
    text = sprintf ("error %s: %s", c.identifier, c.message);
  else
    text = sprintf ("%dx%d result", c.rows, c.cols);
  endif
endfunction

## Where the saved bits of A and B first differ, as text ("" when they are the same).
function text = difference (a, b)
  text = "";
  if (! strcmp (a.status, b.status))
    text = sprintf ("%s, not %s", describe (b), describe (a));
  elseif (strcmp (a.status, "error"))
    if (! (strcmp (a.identifier, b.identifier) && strcmp (a.message, b.message)))
      text = sprintf ("%s, not %s", describe (b), describe (a));
    endif
  elseif (a.rows != b.rows || a.cols != b.cols)
    text = sprintf ("%s, not %s", describe (b), describe (a));
  elseif (! strcmp (a.digest, b.digest))
    text = sprintf ("the result's MD5 is %s, not %s", b.digest, a.digest);
  elseif (! isequal (a.bits, b.bits))
    k = find (a.bits != b.bits, 1);
    show = @(u) sprintf ("%.17g (0x%s)", typecast (u, "double"),
                         sprintf ("%02x", fliplr (typecast (u, "uint8"))));
    text = sprintf ("%d elements differ, the first at %d: %s, not %s", nnz (a.bits != b.bits), k,
                    show (b.bits(k)), show (a.bits(k)));
  endif
endfunction

args = argv ();
if (numel (args) != 2)
  error ("usage: octave-cli compare_cases.m REFERENCE OTHER");
endif
ref = load (args{1});
other = load (args{2});
a = ref.cases;
b = other.cases;
if (numel (a) != numel (b) || ! isequal ({a.name}, {b.name}) || ! isequal ({a.label}, {b.label}))
  printf ("%s and %s hold different case lists (%d and %d cases)\n", args{:}, numel (a),
          numel (b));
  exit (1);
endif
differ = 0;
for k = 1:numel (a)
  if (! strcmp (a(k).inputs, b(k).inputs))
    text = "different inputs (the case generator drew other values)";
  else
    text = difference (a(k), b(k));
  endif
  if (! isempty (text))
    differ++;
    if (differ <= 10)
      printf ("  differs: %s (%s): %s\n", a(k).name, a(k).label, text);
    endif
  endif
endfor
refused = sum (strcmp ({a.status}, "error"));
nans = sum (arrayfun (@(c) any (c.bits == uint64 (9221120237041090560)), a));
other_nans = sum (! strcmp ({a.nans}, {b.nans}));
printf (["%d cases (%d refused, %d with NaN results, %d of them with NaNs of another sign or ", ...
         "payload): %d differ from Octave %s %s %s\n"], numel (a), refused, nans, other_nans,
        differ, ref.about.octave, ref.about.computer, ref.about.host);
exit (double (differ > 0));
