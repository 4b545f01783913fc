;; a comment line
q := 11;
q := q + 1: this is skipped
&(R = 'q.t');
