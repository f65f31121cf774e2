[playlist]
File1=a.mp3
Title1=Band - One
Length1=200
File2=b.flac
Length2=-1
Title3=Only a title
NumberOfEntries=3
Version=2
