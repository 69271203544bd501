# Turns help2man's reading of CLI11's help into section 1 conventions. Each rule is
# general, so new options follow without edits here.
# "-b,--block-kb N": both names bold, the argument italic.
s/^\\fB(\\-[[:alnum:]])\\fR,(\\-\\-[[:alnum:]\\-]+)/\\fB\1\\fR, \\fB\2\\fR/
s/^(\\fB.*\\fR) ([A-Z][A-Z_]*)(:| |$)/\1 \\fI\2\\fR\3/
# The operands: "SOURCE TEXT REQUIRED" says nothing the synopsis does not.
s/^\.SS "Positionals:"$/.SS Operands/
s/^([A-Z][A-Z_]*)( [A-Z:]+)? REQUIRED$/\\fI\1\\fR/
# The help's exit status list: the include file's EXIT STATUS section says it in full.
/^\.SS "Exit status:"$/,/^\.SH /{/^\.SH /!d}
