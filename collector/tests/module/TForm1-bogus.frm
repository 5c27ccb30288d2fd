// A main window naming a class the program does not have.
object Form1: TForm1
  Caption = 'ABL Data Input Module'
  object Bogus1: TBogusClass
  end
end
