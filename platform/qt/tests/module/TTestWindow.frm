inherited TestWindow: TTestWindow
  Caption = 'Testfönster'
  OnCreate = FormCreate
  object Timer1: TTimer
    Enabled = False
  end
end
