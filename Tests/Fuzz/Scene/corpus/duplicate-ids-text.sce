VSEASCII
3
0 0 0 6 x 67 1 y 67 0 z 67 0 bank 67 0 heading 67 0 pitch 67 0 1 objectName child 2 objectId 5 parentId 7
0 0 0 6 x 67 2 y 67 0 z 67 0 bank 67 0 heading 67 0 pitch 67 0 1 objectName first\ seven 1 objectId 7
0 0 0 6 x 67 3 y 67 0 z 67 0 bank 67 0 heading 67 0 pitch 67 0 1 objectName second\ seven 1 objectId 7
