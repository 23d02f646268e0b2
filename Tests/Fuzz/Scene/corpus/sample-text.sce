VSEASCII
5
0 0 0 9 bank 67 0.300000012 heading 69 0 1 0 3 0 0 0.5 -0.25 0.100000001 2 1.5 0 0 0 4 -1 0 0 0 pitch 67 0.200000003 sx 67 1 sy 67 2 sz 67 0.5 x 67 1 y 67 2 z 67 3 1 objectName Rig\ Root 1 objectId 2
0 0 0 6 color.b 67 0.800000012 color.g 67 0.899999976 color.r 67 1 x 67 -5 y 67 10 z 67 -5 1 objectName Key\ Light 3 lightType 0 objectId 3 objectType 2
0.5 0 -1 6 bank 67 0 heading 67 0 pitch 67 0 x 69 2 3 0 3 0 0 0 0 0 1 2 0 0 0 3 -2 0 0 0 y 69 4 5 0 2 0 1 0 0 0 2 3 0 0 0 z 67 4 2 fileName data/Models/box.lwo objectName box:Layer1\ (1) 4 layer 1 objectId 4 objectType 1 parentId 2
0 0 0 6 bank 67 0.5 heading 67 0 pitch 67 0 x 67 0 y 67 1 z 67 0 3 fileName data/Models/quad.lwo note two\ words\ and\ a\ \\\ backslash objectName quad:Layer1 5 layer 1 objectId 5 objectType 1 parentId 4 visible 1
0 0 0 7 bank 67 0.0500000007 farPlane 67 500 nearPlane 67 0.5 x 67 0 y 67 2 z 69 1 2 0 2 0 -20 0 0 0 8 -10 1 0 0 zoomFactor 67 3.20000005 1 objectName Main\ Camera 5 frameHeight 480 frameWidth 640 objectId 1 objectType 3 targetId 4
