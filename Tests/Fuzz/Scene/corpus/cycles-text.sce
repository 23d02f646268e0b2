VSEASCII
3
0 0 0 5 x 67 0 y 67 0 z 67 0 bank 67 0 heading 67 0 1 objectName a 2 objectId 1 targetId 2
0 0 0 5 x 67 1 y 67 0 z 67 0 bank 67 0 pitch 67 0 1 objectName b 2 objectId 2 targetId 1
0 0 0 4 zoomFactor 67 1 x 67 0 y 67 0 z 67 0 1 objectName c 3 objectId 3 frameWidth 0 frameHeight 480
