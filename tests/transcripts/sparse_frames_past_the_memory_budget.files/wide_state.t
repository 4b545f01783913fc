;;** functions:

;;** scalars:
 z := 11;

;;**  arrays:

Array ok[3,2] Sparse;
[ok] := [ [3, [2, 9] ] ]; 
 
Array wide[2147483647,2] Sparse;
[wide] := [ [7, [2, 9] ] ]; 
 
&x;
