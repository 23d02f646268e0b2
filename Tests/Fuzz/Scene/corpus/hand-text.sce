VSEASCII
# two objects
2
0 0 1   4  x 67 1.5  y 69 1 2 0 2 0 0 0 0 0 1 10 0.5 0 0  z 67 -2  x 67 2.5
-4  2 objectId 8 parentId 7
0 0 0  0  1 objectName Small\ Box  1 objectId 7 # parent
